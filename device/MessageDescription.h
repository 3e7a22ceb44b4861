// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

namespace tunewright::device
{

// One line of text for any received MIDI message (what the status box shows for
// a device message the transfer does not handle). Data bytes that a hand-made
// message lacks read as 0; nothing outside the message is read.
juce::String describeMidiMessage (const juce::MidiMessage& message);

} // namespace tunewright::device
