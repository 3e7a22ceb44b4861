// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "midi/MidiPorts.h"

#include <functional>
#include <memory>
#include <vector>

namespace tunewright::midi
{

// Virtual MIDI devices inside the process, for tests and for the demo build.
//
// An input device carries messages from a device INTO the program; an output
// device receives what the program sends. The ports behave like the framework's
// Linux ports where the program can tell: each open input delivers on its own
// thread, one whole message at a time, holding the port's delivery lock during
// the callback. That lock is one for the whole system, as the framework's
// Linux client has: stop(), opening and closing any port, outputs included,
// take it, so they wait for a delivery in progress (and block for good if that
// delivery waits for a lock the caller holds, as the framework's do). A send returns after the output device's
// receiver has run.
//
// Every member may be called from any thread. Ports may outlive the system.
class InProcessMidiSystem final : public MidiSystem
{
public:
    // Runs on the sending thread, inside the program's sendMessageNow, one
    // message at a time per output device.
    using Receiver = std::function<void (const juce::MidiMessage&)>;

    InProcessMidiSystem();
    ~InProcessMidiSystem() override;

    // Adds a device at the end of its list and returns its unique identifier.
    juce::String addInputDevice (const juce::String& name);
    juce::String addOutputDevice (const juce::String& name, Receiver receiver = {});

    // Replaces an output device's receiver; waits for a send in progress, so
    // the old receiver is not called any more once this returns.
    void setReceiver (const juce::String& outputIdentifier, Receiver receiver);

    // Unplugs a device: it leaves its list and can no longer be opened; ports
    // still open on it stay valid but carry nothing.
    void removeDevice (const juce::String& identifier);

    // Makes later opens of the device fail (or succeed again).
    void setOpenFails (const juce::String& identifier, bool fails);

    // The device sends a message into the program: it is queued on every
    // started port open on the input device and delivered on that port's thread.
    // Returns the number of ports that took it; 0 means nobody listened and the
    // message is lost, as on a cable.
    int sendToProgram (const juce::String& inputIdentifier, const juce::MidiMessage& message);

    // Waits until the ports open on the input device have nothing queued and
    // no delivery running. False on timeout.
    bool waitUntilDelivered (const juce::String& inputIdentifier, int timeoutMs) const;

    // What tests assert on.
    std::vector<juce::MidiMessage> getReceivedMessages (const juce::String& outputIdentifier) const;
    void clearReceivedMessages (const juce::String& outputIdentifier);
    int getOpenCount (const juce::String& identifier) const;  // successful opens
    int getCloseCount (const juce::String& identifier) const;
    bool isOpen (const juce::String& identifier) const;       // at least one port open
    bool isStarted (const juce::String& identifier) const;    // at least one input port started
    int getDeliveredCount (const juce::String& inputIdentifier) const; // callbacks made

    // Opens and closes of all devices in the order they happened:
    // "open ID", "close ID" or "open failed ID".
    juce::StringArray getPortEvents() const;

    std::unique_ptr<MidiInputPort> openInput (const juce::String& identifier,
                                              juce::MidiInputCallback& callback) override;
    std::unique_ptr<MidiOutputPort> openOutput (const juce::String& identifier) override;

    juce::Array<juce::MidiDeviceInfo> getInputDevices() override;
    juce::Array<juce::MidiDeviceInfo> getOutputDevices() override;

    struct Core;

private:
    std::shared_ptr<Core> core;

    JUCE_DECLARE_NON_COPYABLE (InProcessMidiSystem)
};

} // namespace tunewright::midi
