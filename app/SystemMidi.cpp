// SPDX-License-Identifier: GPL-3.0-or-later
#include "VTZareZuzaApp.h"
#include "midi/JuceMidiSystem.h"

// The shipped program talks to the operating system's MIDI ports.
std::unique_ptr<tunewright::midi::MidiSystem> createMidiSystem()
{
    return std::make_unique<tunewright::midi::JuceMidiSystem>();
}
