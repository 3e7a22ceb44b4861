// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/JuceMidiSystem.h"

#include <gtest/gtest.h>

namespace tunewright::midi
{
namespace
{

class NoCallback : public juce::MidiInputCallback
{
public:
    void handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage&) override { ++calls; }
    int calls = 0;
};

// These machines and CI have no ALSA sequencer; the framework must report that
// as an empty system, not as a crash or a half-open port.
TEST (JuceMidiSystem, WithoutAMidiSubsystemListsNothingAndOpensNothing)
{
    if (juce::File ("/dev/snd/seq").exists())
        GTEST_SKIP() << "this machine has a MIDI sequencer";

    JuceMidiSystem system;
    NoCallback callback;

    EXPECT_TRUE (system.getInputDevices().isEmpty());
    EXPECT_TRUE (system.getOutputDevices().isEmpty());

    for (const juce::String id : { "", "128-0", "0-0", "virtual-in-1" })
    {
        EXPECT_EQ (system.openInput (id, callback), nullptr) << id;
        EXPECT_EQ (system.openOutput (id), nullptr) << id;
    }

    EXPECT_EQ (callback.calls, 0);
}

} // namespace
} // namespace tunewright::midi
