// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/JuceMidiSystem.h"

namespace tunewright::midi
{
namespace
{

// Sits between the framework's input and the program's callback so that stop()
// waits for a delivery in progress on every platform: the framework's Linux stop
// only clears a flag, and only its close waits (it takes the client's lock).
class JuceInputPort final : public MidiInputPort,
                            private juce::MidiInputCallback
{
public:
    explicit JuceInputPort (juce::MidiInputCallback& callbackToUse) : target (callbackToUse) {}

    ~JuceInputPort() override
    {
        if (input != nullptr)
        {
            stop();
            input.reset(); // closes the device; blocks while the framework delivers
        }
    }

    bool open (const juce::String& identifier)
    {
        input = juce::MidiInput::openDevice (identifier, this);
        return input != nullptr;
    }

    void start() override
    {
        {
            const juce::ScopedLock sl (deliveryLock);
            enabled = true;
        }
        input->start();
    }

    void stop() override
    {
        input->stop();
        const juce::ScopedLock sl (deliveryLock);
        enabled = false;
    }

private:
    // The framework's MIDI input thread.
    void handleIncomingMidiMessage (juce::MidiInput* source, const juce::MidiMessage& message) override
    {
        const juce::ScopedLock sl (deliveryLock);

        if (enabled)
            target.handleIncomingMidiMessage (source, message);
    }

    // The framework's MIDI input thread.
    void handlePartialSysexMessage (juce::MidiInput* source, const juce::uint8* data,
                                    int numBytesSoFar, double timestamp) override
    {
        const juce::ScopedLock sl (deliveryLock);

        if (enabled)
            target.handlePartialSysexMessage (source, data, numBytesSoFar, timestamp);
    }

    juce::MidiInputCallback& target;
    juce::CriticalSection deliveryLock;
    bool enabled = false;
    std::unique_ptr<juce::MidiInput> input;
};

class JuceOutputPort final : public MidiOutputPort
{
public:
    explicit JuceOutputPort (std::unique_ptr<juce::MidiOutput> outputToUse) : output (std::move (outputToUse)) {}

    void sendMessageNow (const juce::MidiMessage& message) override { output->sendMessageNow (message); }

private:
    std::unique_ptr<juce::MidiOutput> output;
};

} // namespace

juce::Array<juce::MidiDeviceInfo> JuceMidiSystem::getInputDevices()
{
    return juce::MidiInput::getAvailableDevices();
}

juce::Array<juce::MidiDeviceInfo> JuceMidiSystem::getOutputDevices()
{
    return juce::MidiOutput::getAvailableDevices();
}

std::unique_ptr<MidiInputPort> JuceMidiSystem::openInput (const juce::String& identifier,
                                                          juce::MidiInputCallback& callback)
{
    auto port = std::make_unique<JuceInputPort> (callback);

    if (! port->open (identifier))
        return nullptr;

    return port;
}

std::unique_ptr<MidiOutputPort> JuceMidiSystem::openOutput (const juce::String& identifier)
{
    auto output = juce::MidiOutput::openDevice (identifier);

    if (output == nullptr)
        return nullptr;

    return std::make_unique<JuceOutputPort> (std::move (output));
}

} // namespace tunewright::midi
