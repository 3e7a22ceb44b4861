// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DescribeCommand.h"

#include "device/MessageDescription.h"

#include <cctype>
#include <cstdint>
#include <optional>
#include <sstream>

namespace tunewright::cli
{

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
std::optional<std::vector<std::uint8_t>> parseHexBytes (const std::vector<std::string>& args)
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
} // namespace

int runDescribe (const std::vector<std::string>& args, std::ostream& out, std::ostream& err)
{
    const auto bytes = parseHexBytes (args);

    if (! bytes || bytes->empty())
    {
        err << "usage: tunewright-cli describe HEX...\n"
               "  one MIDI message as hex bytes, e.g. \"90 3C 64\" or 903C64\n";
        return 2;
    }

    // Any byte string is accepted as it stands, short or odd ones too: describing
    // them is defined, and seeing that is what the command is for.
    const juce::MidiMessage message (bytes->data(), static_cast<int> (bytes->size()));
    out << device::describeMidiMessage (message).toStdString() << '\n';
    return 0;
}

} // namespace tunewright::cli
