// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

#include <memory>

namespace tunewright::midi
{

// An open input. Deliveries to the callback run on the input's own thread,
// one message at a time, with the input's delivery lock held.
class MidiInputPort
{
public:
    virtual ~MidiInputPort() = default; // closes the device; waits for a delivery in progress
    virtual void start() = 0;
    virtual void stop() = 0; // returns once no delivery runs any more
};

// An open output. A send returns once the receiving side has the whole message.
class MidiOutputPort
{
public:
    virtual ~MidiOutputPort() = default; // closes the device
    virtual void sendMessageNow (const juce::MidiMessage& message) = 0;
};

// The system's MIDI devices: the framework's ports in the shipped program,
// in-process virtual ports in tests and in the demo build.
class MidiSystem
{
public:
    virtual ~MidiSystem() = default;

    virtual juce::Array<juce::MidiDeviceInfo> getInputDevices() = 0;
    virtual juce::Array<juce::MidiDeviceInfo> getOutputDevices() = 0;

    // Null when the device cannot be opened. The callback receives a null source
    // for in-process ports; the panel never looks at it.
    virtual std::unique_ptr<MidiInputPort> openInput (const juce::String& identifier,
                                                      juce::MidiInputCallback& callback) = 0;
    virtual std::unique_ptr<MidiOutputPort> openOutput (const juce::String& identifier) = 0;
};

} // namespace tunewright::midi
