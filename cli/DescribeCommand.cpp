// SPDX-License-Identifier: GPL-3.0-or-later
#include "DescribeCommand.h"

#include "device/MessageDescription.h"

#include <cctype>
#include <cstdint>
#include <optional>
#include <ostream>
#include <sstream>

namespace tunewright::cli
{

const char* const describeSynopsis = "HEX...";

namespace
{
int hexValue (char c)
{
    const auto u = static_cast<unsigned char> (c);
    if (std::isdigit (u))
        return c - '0';
    if (u >= 'a' && u <= 'f')
        return c - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Every blank-separated word must be whole bytes, so "9 03C" is refused rather
// than silently read as 90 3C.
std::optional<std::vector<std::uint8_t>> parseHexBytes (const Args& args)
{
    std::vector<std::uint8_t> bytes;

    for (const auto& arg : args)
    {
        std::istringstream words (arg);
        std::string word;

        while (words >> word)
        {
            if (word.size() % 2 != 0)
                return std::nullopt;

            for (size_t i = 0; i < word.size(); i += 2)
            {
                const int high = hexValue (word[i]);
                const int low = hexValue (word[i + 1]);
                if (high < 0 || low < 0)
                    return std::nullopt;
                bytes.push_back (static_cast<std::uint8_t> (high * 16 + low));
            }
        }
    }

    return bytes;
}

void printDescribeUsage (std::ostream& stream)
{
    stream << "usage: tunewright-cli describe " << describeSynopsis << "\n"
              "  one MIDI message as hex bytes, e.g. \"90 3C 64\" or 903C64\n";
}
} // namespace

int runDescribe (const Args& args, std::ostream& out, std::ostream& err)
{
    if (args.size() == 1 && (args.front() == "--help" || args.front() == "-h"))
    {
        printDescribeUsage (out);
        return exitSuccess;
    }

    const auto bytes = parseHexBytes (args);

    if (! bytes || bytes->empty())
    {
        printDescribeUsage (err);
        return exitUsage;
    }

    // Any byte string is accepted as it stands, short or odd ones too: describing
    // them is defined, and seeing that is what the command is for.
    const juce::MidiMessage message (bytes->data(), static_cast<int> (bytes->size()));
    out << device::describeMidiMessage (message).toStdString() << '\n';
    return exitSuccess;
}

} // namespace tunewright::cli
