// SPDX-License-Identifier: GPL-3.0-or-later
#include "Cli.h"
#include "ConvertCommand.h"

#include "../song/SmfFixtures.h"
#include "song/PacketImage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <sstream>

namespace tunewright::cli
{
namespace
{
namespace fs = std::filesystem;
using namespace song;
using namespace song::fixtures;

struct Run
{
    int status;
    std::string out, err;

    std::string lastLine() const
    {
        std::string text = out;
        if (! text.empty() && text.back() == '\n')
            text.pop_back();
        const auto nl = text.rfind ('\n');
        return nl == std::string::npos ? text : text.substr (nl + 1);
    }
};

Run run (const Args& args)
{
    std::ostringstream out, err;
    const int status = runCli (args, out, err);
    return { status, out.str(), err.str() };
}

class ConvertCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::random_device seed;
        dir = fs::temp_directory_path() / ("tunewright-cli-test-" + std::to_string (seed()));
        fs::create_directories (dir);
    }

    void TearDown() override { fs::remove_all (dir); }

    std::string path (const std::string& name) const { return (dir / name).string(); }

    std::string write (const std::string& name, const Bytes& bytes) const
    {
        std::ofstream (path (name), std::ios::binary).write (reinterpret_cast<const char*> (bytes.data()), long (bytes.size()));
        return path (name);
    }

    Bytes read (const std::string& name) const
    {
        std::ifstream in (path (name), std::ios::binary);
        return Bytes (std::istreambuf_iterator<char> (in), {});
    }

    // Anything besides the named files, e.g. a temporary left behind.
    std::vector<std::string> strayFiles (std::initializer_list<std::string> expected) const
    {
        std::vector<std::string> stray;
        for (const auto& entry : fs::directory_iterator (dir))
        {
            const auto name = entry.path().filename().string();
            if (std::find (expected.begin(), expected.end(), name) == expected.end())
                stray.push_back (name);
        }
        return stray;
    }

    fs::path dir;
};

TEST (CliUsage, BadCommandLinesExitWith2)
{
    struct Case
    {
        const char* name;
        Args args;
    };
    const Case cases[] = {
        { "nothing", {} },
        { "unknown command", { "play", "x.mid" } },
        { "no input file", { "convert" } },
        { "two input files", { "convert", "a.mid", "b.mid" } },
        { "unknown option", { "convert", "a.mid", "--verbose" } },
        { "option without its file", { "convert", "a.mid", "--song-image" } },
        { "option with an empty file name", { "convert", "a.mid", "--packets=" } },
        { "option given twice", { "convert", "a.mid", "--packets", "x", "--packets", "y" } },
        { "both outputs to one file", { "convert", "a.mid", "--packets", "x", "--song-image", "x" } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto r = run (c.args);
        EXPECT_EQ (r.status, exitUsage);
        EXPECT_EQ (r.out, "") << "usage errors go to standard error";
        EXPECT_NE (r.err.find ("Usage: tunewright-cli"), std::string::npos);
    }
}

TEST (CliUsage, HelpGoesToStandardOutput)
{
    for (const Args& args : { Args { "--help" }, Args { "convert", "--help" }, Args { "convert", "x.mid", "-h" } })
    {
        SCOPED_TRACE (args.back());
        const auto r = run (args);
        EXPECT_EQ (r.status, exitSuccess);
        EXPECT_NE (r.out.find ("convert FILE [--song-image OUT] [--packets OUT]"), std::string::npos);
        EXPECT_EQ (r.err, "");
    }
}

TEST_F (ConvertCommand, OutcomesAndTheirLastLine)
{
    const Bytes good = smf ({ 0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00 }, 480);
    fs::create_directory (dir / "folder.mid");

    struct Case
    {
        const char* name;
        std::optional<Bytes> file; // none: the file does not exist
        int status;
        std::vector<std::string> lastLines;
    };
    const Case cases[] = {
        { "converted", good, exitSuccess, { "Ready " } },
        { "not an SMF", Bytes { 'R', 'I', 'F', 'F', 0, 0 }, exitFailure, { "Error : Not an SMF." } },
        { "format 1", headerChunk (96, 1) + trackChunkHeader (0), exitFailure, { "SMF Format1 : Not supported" } },
        { "content too large", smf (fillerEvents (16384 - 22)), exitFailure, { "Error : SONG Size over 16KByte" } },
        { "four-byte delta", smf ({ 0x80, 0x80, 0x80, 0x00 }), exitFailure, { "Error(DeltaTime?)" } },
        { "no track chunk", withByte (good, 17, 'x'), exitFailure, { "Unknown Error..." } },
        { "cut off", firstBytes (good, good.size() - 2), exitFailure, { "Error : File truncated" } },
        { "division 47", smf ({ 0x00, 0xFF, 0x2F, 0x00 }, 47), exitFailure, { "Error : Division under 48" } },
        { "24575 bytes is read", headerChunk (48) + trackChunkHeader (0) + fillerEvents (24575 - 22), exitFailure,
          { "Error : SONG Size over 16KByte" } },
        { "24576 bytes is refused", smf (fillerEvents (24576 - 22)), exitFailure,
          { "Source File Size Over...", "Error.." } },
        { "missing", std::nullopt, exitFailure, { "Error : File read failed" } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const std::string input = c.file ? write ("song.mid", *c.file) : path ("missing.mid");
        write ("image.bin", { 'o', 'l', 'd' });
        write ("packets.syx", { 'o', 'l', 'd' });

        const auto r = run ({ "convert", input, "--song-image", path ("image.bin"), "--packets=" + path ("packets.syx") });
        EXPECT_EQ (r.status, c.status);

        std::vector<std::string> lines;
        std::istringstream text (r.out);
        for (std::string line; std::getline (text, line);)
            lines.push_back (line);
        ASSERT_GE (lines.size(), c.lastLines.size());
        EXPECT_EQ (std::vector<std::string> (lines.end() - long (c.lastLines.size()), lines.end()), c.lastLines);

        if (c.status == exitSuccess)
        {
            EXPECT_EQ (r.err, "");
            EXPECT_EQ (read ("image.bin").size(), 16384u);
            EXPECT_EQ (read ("packets.syx").size(), 21248u);
        }
        else
        {
            EXPECT_NE (r.err, "") << "a failure says why on standard error";
            EXPECT_EQ (read ("image.bin"), (Bytes { 'o', 'l', 'd' })) << "no output on failure";
            EXPECT_EQ (read ("packets.syx"), (Bytes { 'o', 'l', 'd' }));
        }

        EXPECT_EQ (strayFiles ({ "song.mid", "image.bin", "packets.syx", "folder.mid" }), std::vector<std::string> {});
        fs::remove (path ("song.mid"));
    }

    const auto r = run ({ "convert", path ("folder.mid") });
    EXPECT_EQ (r.status, exitFailure);
    EXPECT_EQ (r.lastLine(), "Error : File read failed");
}

TEST_F (ConvertCommand, WritesWhatTheDeviceReceives)
{
    const Bytes file = smf ({ 0x00, 0xC0, 0x85, 0x87, 0x40, 0x90, 0xBC, 0x64, 0x00, 0xFF, 0x2F, 0x00 }, 480);
    const auto input = write ("demo.mid", file);

    const auto r = run ({ "convert", input, "--song-image", path ("image.bin"), "--packets", path ("packets.syx") });
    ASSERT_EQ (r.status, exitSuccess) << r.err;
    EXPECT_NE (r.out.find ("File: demo.mid (34 bytes)\n"), std::string::npos) << r.out;
    EXPECT_NE (r.out.find ("Division: 480"), std::string::npos) << r.out;
    EXPECT_NE (r.out.find ("Content: 33 of 16383 bytes"), std::string::npos) << r.out;

    // The song image: header, events re-timed (960 ticks at 480 become 96), then 0xFF.
    Bytes expectedImage = firstBytes (file, 22)
                          + Bytes { 0x00, 0xC0, 0x85, 0x60, 0x90, 0xBC, 0x64, 0x00, 0xFF, 0x2F, 0x00 };
    expectedImage.resize (16384, 0xFF);
    const Bytes image = read ("image.bin");
    EXPECT_EQ (hex (firstBytes (image, 40)), hex (firstBytes (expectedImage, 40)));
    EXPECT_TRUE (image == expectedImage);

    // The .syx file: every packet framed F0 ... F7, carrying its share of the image.
    auto songImage = std::make_unique<SongImage>();
    std::copy (expectedImage.begin(), expectedImage.end(), songImage->begin());
    auto packets = std::make_unique<PacketImage>();
    int32_t sent = 0, checksum = 0;
    buildPacketImage (*songImage, *packets, { sent, checksum });

    const Bytes syx = read ("packets.syx");
    ASSERT_EQ (syx.size(), 256u * 83u);
    for (int n = 0; n < 256; ++n)
    {
        SCOPED_TRACE (n);
        const auto at = syx.begin() + 83 * n;
        EXPECT_EQ (at[0], 0xF0);
        EXPECT_EQ (at[82], 0xF7);
        EXPECT_TRUE (std::equal (at + 1, at + 82, packetAt (*packets, n)));
    }

    EXPECT_EQ (strayFiles ({ "demo.mid", "image.bin", "packets.syx" }), std::vector<std::string> {});
}

TEST_F (ConvertCommand, UnwritableOutputLeavesNoFiles)
{
    const auto input = write ("demo.mid", smf ({ 0x00, 0xFF, 0x2F, 0x00 }));
    fs::create_directory (dir / "taken");

    struct Case
    {
        const char* name;
        std::string image, packets;
    };
    const Case cases[] = {
        { "folder that does not exist", path ("no/such/image.bin"), path ("packets.syx") },
        { "packets onto a folder", path ("image.bin"), path ("taken") },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto r = run ({ "convert", input, "--song-image", c.image, "--packets", c.packets });
        EXPECT_EQ (r.status, exitFailure);
        EXPECT_EQ (r.lastLine(), "Ready ") << "the file itself loaded";
        EXPECT_NE (r.err.find ("cannot write"), std::string::npos) << r.err;
        EXPECT_EQ (strayFiles ({ "demo.mid", "taken", "no" }), std::vector<std::string> {});
    }
}

} // namespace
} // namespace tunewright::cli
