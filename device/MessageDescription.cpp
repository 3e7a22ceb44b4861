// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/MessageDescription.h"

namespace tunewright::device
{

namespace
{
// printf's %3d: right-aligned in three characters, longer values keep all of theirs.
juce::String d3 (int value)
{
    return juce::String (value).paddedLeft (' ', 3);
}

// Sharps, middle C (60) in octave 4: 0 is "C-1", 127 "G9"; empty above 127.
juce::String noteName (int note)
{
    return juce::MidiMessage::getMidiNoteName (note, true, true, 4);
}

// The framework's tables return null for numbers without a name.
juce::String nameOrEmpty (const char* name)
{
    return name != nullptr ? juce::String (name) : juce::String();
}
} // namespace

juce::String describeMidiMessage (const juce::MidiMessage& message)
{
    const auto* raw = message.getRawData();
    const int size = message.getRawDataSize();

    if (size <= 0)
        return {};

    const int status = raw[0];
    const int data1 = size > 1 ? raw[1] : 0;
    const int data2 = size > 2 ? raw[2] : 0;

    switch (status >> 4)
    {
        case 0x8:
        case 0x9:
            return "Note#:" + d3 (data1) + "(" + noteName (data1) + "), Vel:" + d3 (data2);
        case 0xb:
            return "CC#:" + d3 (data1) + "(" + nameOrEmpty (juce::MidiMessage::getControllerName (data1))
                   + "), Val:" + d3 (data2);
        case 0xc:
            return "PC#:" + d3 (data1) + "(GM " + nameOrEmpty (juce::MidiMessage::getGMInstrumentName (data1)) + ")";
        case 0xa:
            return "Note#:" + d3 (data1) + "(" + noteName (data1) + "), Val:" + d3 (data2);
        case 0xd:
            return "Val:" + d3 (data1);
        case 0xe:
            return "Val:" + d3 ((data1 | (data2 << 7)) - 8192);
        default:
            break;
    }

    // SysEx shows its body only; F0 without anything after it has none.
    if (status == 0xf0)
        return size > 2 ? juce::String::toHexString (raw + 1, size - 2) : juce::String();

    return juce::String::toHexString (raw, size);
}

} // namespace tunewright::device
