// SPDX-License-Identifier: GPL-3.0-or-later
#include "VTZareZuzaApp.h"
#include "midi/MidiPorts.h"

namespace
{
// Until the framework's ports are wired in: a system without devices.
struct NoMidiSystem final : tunewright::midi::MidiSystem
{
    juce::Array<juce::MidiDeviceInfo> getInputDevices() override { return {}; }
    juce::Array<juce::MidiDeviceInfo> getOutputDevices() override { return {}; }
    std::unique_ptr<tunewright::midi::MidiInputPort> openInput (const juce::String&, juce::MidiInputCallback&) override { return {}; }
    std::unique_ptr<tunewright::midi::MidiOutputPort> openOutput (const juce::String&) override { return {}; }
};
}

std::unique_ptr<tunewright::midi::MidiSystem> createMidiSystem()
{
    return std::make_unique<NoMidiSystem>();
}
