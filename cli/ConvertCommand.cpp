// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConvertCommand.h"
#include "FileSource.h"
#include "StagedFile.h"

#include "song/SongStore.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

namespace tunewright::cli
{

const char* const convertSynopsis = "FILE [--song-image OUT] [--packets OUT]";

namespace
{
using namespace song;

void printConvertUsage (std::ostream& stream)
{
    stream << "Usage: tunewright-cli convert " << convertSynopsis << "\n"
              "\n"
              "Loads FILE as \"Open SMF\" does: a file of " << sourceBufferSize << " bytes or more is refused,\n"
              "any other is converted into the song image and packed into the packets the\n"
              "device receives. The last line printed is the program's status text.\n"
              "\n"
              "  --song-image OUT  write the " << packedSongBytes << " bytes that are packed (content, then 0xFF)\n"
              "  --packets OUT     write the " << packetCount << " data packets as a .syx file (F0, 81 bytes, F7 each)\n"
              "\n"
              "Outputs are written only on success, and never left half-written.\n"
              "Exit status: 0 success, 1 the file was refused or failed, 2 usage error.\n";
}

struct Options
{
    std::string input;
    std::optional<std::string> songImage, packets;
};

int usageError (std::ostream& err, const std::string& message)
{
    err << "tunewright-cli convert: " << message << "\n\n";
    printConvertUsage (err);
    return exitUsage;
}

// Empty when the arguments are fine; otherwise the complaint.
std::optional<std::string> parse (const Args& args, Options& options, bool& help)
{
    bool inputSeen = false, optionsEnded = false;

    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& a = args[i];

        if (! optionsEnded && (a == "--help" || a == "-h"))
        {
            help = true;
            return std::nullopt;
        }

        if (! optionsEnded && a == "--")
        {
            optionsEnded = true;
            continue;
        }

        if (! optionsEnded && a.size() > 1 && a[0] == '-')
        {
            const auto eq = a.find ('=');
            const std::string name = a.substr (0, eq);
            std::optional<std::string>* target = name == "--song-image" ? &options.songImage
                                               : name == "--packets"    ? &options.packets
                                                                        : nullptr;
            if (target == nullptr)
                return "unknown option '" + a + "'";

            if (target->has_value())
                return name + " given twice";

            if (eq != std::string::npos)
                *target = a.substr (eq + 1);
            else if (i + 1 < args.size())
                *target = args[++i];
            else
                return name + " needs a file name";

            if ((*target)->empty())
                return name + " needs a file name";

            continue;
        }

        if (inputSeen)
            return "more than one input file";

        options.input = a;
        inputSeen = true;
    }

    if (! inputSeen)
        return std::string ("no input file");

    if (options.songImage && options.packets && *options.songImage == *options.packets)
        return std::string ("--song-image and --packets name the same file");

    return std::nullopt;
}

// Each packet as it goes over the wire: F0, its 81 bytes, F7.
std::vector<uint8_t> packetsAsSysEx (const PacketImage& packets)
{
    std::vector<uint8_t> out;
    out.reserve (size_t (packetCount) * (packetSize + 2));

    for (int n = 0; n < packetCount; ++n)
    {
        out.push_back (0xF0);
        out.insert (out.end(), packetAt (packets, n), packetAt (packets, n) + packetSize);
        out.push_back (0xF7);
    }

    return out;
}

} // namespace

int runConvert (const Args& args, std::ostream& out, std::ostream& err)
{
    Options options;
    bool help = false;

    if (const auto problem = parse (args, options, help))
        return usageError (err, *problem);

    if (help)
    {
        printConvertUsage (out);
        return exitSuccess;
    }

    const auto store = std::make_unique<SongStore>();
    int32_t packetsSent = 0, checksum = 0;

    FileSource source (options.input);

    if (! source.isOpen())
    {
        err << "tunewright-cli: cannot read " << options.input << ": " << source.openError() << '\n';
        out << statusText (LoadOutcome { LoadOutcome::ReadFailed, Converted }) << '\n';
        return exitFailure;
    }

    const auto outcome = loadSong (*store, source, { packetsSent, checksum });
    const std::string name = std::filesystem::path (options.input).filename().string();

    if (outcome.kind == LoadOutcome::TooLarge)
    {
        err << "tunewright-cli: " << options.input << ": " << source.length() << " bytes; a song file must be under "
            << sourceBufferSize << " bytes\n";
        out << sizeRefusalMessage << '\n' << statusText (outcome) << '\n';
        return exitFailure;
    }

    out << "File: " << name << " (" << source.length() << " bytes)\n";

    if (outcome.kind == LoadOutcome::ReadFailed)
    {
        err << "tunewright-cli: " << options.input << ": could not be read in full\n";
        out << statusText (outcome) << '\n';
        return exitFailure;
    }

    const auto result = outcome.result;
    const bool divisionRead = store->loadedLength >= 14 && result != NotSmf && result != FormatNotSupported;

    if (divisionRead)
    {
        const int division = store->source[12] * 256 + store->source[13];
        out << "Division: " << division << " (" << division / minDivision << " source ticks per device tick)\n";
    }

    if (! outcome.succeeded())
    {
        err << "tunewright-cli: " << options.input << ": not converted: " << statusText (outcome) << '\n';
        out << statusText (outcome) << '\n';
        return exitFailure;
    }

    out << "Content: " << store->converter.writePos << " of " << maxSongContent << " bytes\n";

    // Stage every output before any replaces its destination, so a failure leaves none.
    const auto sysex = packetsAsSysEx (store->packetImage);
    StagedFile imageFile, packetFile;
    std::string problem;

    const bool staged =
        (! options.songImage || imageFile.stage (*options.songImage, store->songImage.data(), packedSongBytes, problem))
        && (! options.packets || packetFile.stage (*options.packets, sysex.data(), sysex.size(), problem));

    const bool committed = staged && (! options.songImage || imageFile.commit (problem))
                           && (! options.packets || packetFile.commit (problem));

    if (committed)
    {
        if (options.songImage)
            out << "Song image: " << *options.songImage << " (" << packedSongBytes << " bytes)\n";

        if (options.packets)
            out << "Packets: " << *options.packets << " (" << sysex.size() << " bytes)\n";
    }
    else
    {
        err << "tunewright-cli: " << problem << '\n';
    }

    // The file itself loaded; the status line says so even when an output could not be written.
    out << statusText (outcome) << '\n';
    return committed ? exitSuccess : exitFailure;
}

} // namespace tunewright::cli
