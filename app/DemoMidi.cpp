// SPDX-License-Identifier: GPL-3.0-or-later
// tunewright-demo: the program with an emulated VT9R as its only MIDI device,
// for trying a transfer where no unit is attached.
#include "VTZareZuzaApp.h"
#include "emulator/Vt9rEmulator.h"

#include <cstdio>

std::unique_ptr<tunewright::midi::MidiSystem> createMidiSystem()
{
    // Emulator thread: one line per thing the emulated unit sees or does.
    return std::make_unique<tunewright::emulator::EmulatedMidiSystem> ([] (const juce::String& line) {
        std::printf ("%s\n", line.toRawUTF8());
        std::fflush (stdout);
    });
}
