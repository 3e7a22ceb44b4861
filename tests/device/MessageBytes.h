// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <cstdint>
#include <vector>

namespace tunewright::device::test
{

using Bytes = std::vector<std::uint8_t>;

// Any byte string as a message, including ones no MIDI input would deliver
// (empty, cut off, data byte first).
inline juce::MidiMessage messageOf (const Bytes& bytes)
{
    if (bytes.empty())
    {
        // The only way to an empty message: the stream reader meets a data
        // byte with no running status.
        const std::uint8_t dataByte = 0;
        int used = 0;
        return juce::MidiMessage (&dataByte, 1, used, 0);
    }

    return juce::MidiMessage (bytes.data(), static_cast<int> (bytes.size()));
}

inline Bytes wireBytes (const juce::MidiMessage& message)
{
    const auto* raw = message.getRawData();
    return Bytes (raw, raw + message.getRawDataSize());
}

} // namespace tunewright::device::test
