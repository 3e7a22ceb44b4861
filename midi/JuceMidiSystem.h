// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/MidiPorts.h"

namespace tunewright::midi
{

// The operating system's MIDI ports through the framework's MidiInput and
// MidiOutput. Devices are opened by identifier, so an entry read at start-up
// never opens another device after the system's list has changed.
class JuceMidiSystem final : public MidiSystem
{
public:
    juce::Array<juce::MidiDeviceInfo> getInputDevices() override;
    juce::Array<juce::MidiDeviceInfo> getOutputDevices() override;

    std::unique_ptr<MidiInputPort> openInput (const juce::String& identifier,
                                              juce::MidiInputCallback& callback) override;
    std::unique_ptr<MidiOutputPort> openOutput (const juce::String& identifier) override;
};

} // namespace tunewright::midi
