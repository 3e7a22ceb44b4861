// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/InProcessMidiSystem.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace tunewright::midi
{
namespace
{

struct InputPortState;

struct Device
{
    Device (const juce::String& n, const juce::String& id, bool input)
        : name (n), identifier (id), isInput (input) {}

    const juce::String name, identifier;
    const bool isInput;

    // Guarded by Core::mutex.
    bool openFails = false;
    bool removed = false;
    int opens = 0;
    int closes = 0;
    int openPorts = 0;
    std::vector<std::shared_ptr<InputPortState>> inputPorts;
    std::vector<juce::MidiMessage> received;

    std::atomic<int> delivered { 0 };

    // Held for a whole send, so one message at a time reaches the receiver.
    std::mutex sendMutex;
    InProcessMidiSystem::Receiver receiver; // guarded by sendMutex
};

// Shared by an input port and its delivery thread, so either may go first.
// One lock for the whole system, like the framework's Linux MIDI client: every
// delivery holds it during the callback, and stopping an input, opening a port
// and closing a port take it, outputs included. Recursive like the framework's
// CriticalSection: a callback may stop its own input.
using CallbackLock = std::shared_ptr<std::recursive_mutex>;

struct InputPortState
{
    InputPortState (juce::MidiInputCallback& cb, std::shared_ptr<Device> d, CallbackLock lock)
        : callback (cb), device (std::move (d)), callbackLock (std::move (lock)) {}

    juce::MidiInputCallback& callback;
    const std::shared_ptr<Device> device;
    const CallbackLock callbackLock;
    std::atomic<bool> started { false };

    std::mutex queueMutex;
    std::condition_variable queueChanged;
    std::condition_variable becameIdle;
    std::deque<juce::MidiMessage> queue; // guarded by queueMutex
    bool delivering = false;             // guarded by queueMutex
    bool exitRequested = false;          // guarded by queueMutex

    // The port's own delivery thread.
    void run()
    {
        for (;;)
        {
            juce::MidiMessage message;

            {
                std::unique_lock<std::mutex> ql (queueMutex);
                queueChanged.wait (ql, [this] { return exitRequested || ! queue.empty(); });

                if (exitRequested)
                    return;

                message = std::move (queue.front());
                queue.pop_front();
                delivering = true;
            }

            {
                // Checked under the lock that stop() takes, so nothing is
                // delivered once stop() has returned.
                const std::lock_guard<std::recursive_mutex> dl (*callbackLock);

                if (started)
                {
                    ++device->delivered;
                    callback.handleIncomingMidiMessage (nullptr, message);
                }
            }

            {
                const std::lock_guard<std::mutex> ql (queueMutex);
                delivering = false;
            }
            becameIdle.notify_all();
        }
    }
};

} // namespace

struct InProcessMidiSystem::Core
{
    const CallbackLock callbackLock = std::make_shared<std::recursive_mutex>();
    mutable std::mutex mutex;
    std::vector<std::shared_ptr<Device>> devices; // creation order
    juce::StringArray events;
    int nextInputNumber = 1;
    int nextOutputNumber = 1;

    // Needs mutex held.
    std::shared_ptr<Device> find (const juce::String& identifier) const
    {
        for (auto& d : devices)
            if (d->identifier == identifier)
                return d;

        return nullptr;
    }

    std::shared_ptr<Device> findLocked (const juce::String& identifier) const
    {
        const std::lock_guard<std::mutex> sl (mutex);
        return find (identifier);
    }

    juce::Array<juce::MidiDeviceInfo> list (bool inputs) const
    {
        const std::lock_guard<std::mutex> sl (mutex);
        juce::Array<juce::MidiDeviceInfo> result;

        for (auto& d : devices)
            if (d->isInput == inputs && ! d->removed)
                result.add ({ d->name, d->identifier });

        return result;
    }

    // Returns the device when it may be opened; logs the attempt either way.
    std::shared_ptr<Device> beginOpen (const juce::String& identifier, bool input)
    {
        const std::lock_guard<std::mutex> sl (mutex);
        auto d = find (identifier);

        if (d == nullptr || d->isInput != input || d->removed || d->openFails)
        {
            events.add ("open failed " + identifier);
            return nullptr;
        }

        ++d->opens;
        ++d->openPorts;
        events.add ("open " + identifier);
        return d;
    }

    void recordClose (Device& d)
    {
        const std::lock_guard<std::mutex> sl (mutex);
        ++d.closes;
        --d.openPorts;
        events.add ("close " + d.identifier);
    }
};

namespace
{

class InProcessInputPort final : public MidiInputPort
{
public:
    InProcessInputPort (std::shared_ptr<InProcessMidiSystem::Core> c, std::shared_ptr<InputPortState> s)
        : core (std::move (c)), state (std::move (s))
    {
        thread = std::thread ([st = state] { st->run(); });
    }

    ~InProcessInputPort() override
    {
        stop();

        {
            const std::lock_guard<std::mutex> ql (state->queueMutex);
            state->exitRequested = true;
        }
        state->queueChanged.notify_all();

        // A callback that closes its own input cannot wait for its own thread;
        // the thread owns its state and ends once the callback returns.
        if (thread.get_id() == std::this_thread::get_id())
            thread.detach();
        else
            thread.join();

        // Deleting the port takes the system's callback lock, as the framework's does.
        const std::lock_guard<std::recursive_mutex> cl (*core->callbackLock);
        {
            const std::lock_guard<std::mutex> sl (core->mutex);
            auto& ports = state->device->inputPorts;
            ports.erase (std::remove (ports.begin(), ports.end(), state), ports.end());
        }
        core->recordClose (*state->device);
    }

    void start() override
    {
        state->started = true;
    }

    void stop() override
    {
        // Cleared before the lock is taken, as the framework does, so that a
        // flood of queued messages cannot keep the lock from the stopping thread.
        state->started = false;

        // Waits for a delivery in progress, like the framework's close.
        const std::lock_guard<std::recursive_mutex> dl (*state->callbackLock);

        {
            // Undelivered messages are dropped, as the framework drops what
            // arrives for a stopped input.
            const std::lock_guard<std::mutex> ql (state->queueMutex);
            state->queue.clear();
        }
        state->becameIdle.notify_all();
    }

private:
    std::shared_ptr<InProcessMidiSystem::Core> core;
    std::shared_ptr<InputPortState> state;
    std::thread thread;
};

class InProcessOutputPort final : public MidiOutputPort
{
public:
    InProcessOutputPort (std::shared_ptr<InProcessMidiSystem::Core> c, std::shared_ptr<Device> d)
        : core (std::move (c)), device (std::move (d)) {}

    ~InProcessOutputPort() override
    {
        // Closing an output waits for a delivery in progress on any input, as the framework's does.
        const std::lock_guard<std::recursive_mutex> cl (*core->callbackLock);
        core->recordClose (*device);
    }

    // The caller's thread; returns after the receiver has run.
    void sendMessageNow (const juce::MidiMessage& message) override
    {
        const std::lock_guard<std::mutex> sendLock (device->sendMutex);

        {
            const std::lock_guard<std::mutex> sl (core->mutex);

            if (device->removed)
                return;

            device->received.push_back (message);
        }

        if (device->receiver)
            device->receiver (message);
    }

private:
    std::shared_ptr<InProcessMidiSystem::Core> core;
    std::shared_ptr<Device> device;
};

} // namespace

InProcessMidiSystem::InProcessMidiSystem() : core (std::make_shared<Core>()) {}
InProcessMidiSystem::~InProcessMidiSystem() = default;

juce::String InProcessMidiSystem::addInputDevice (const juce::String& name)
{
    const std::lock_guard<std::mutex> sl (core->mutex);
    auto id = "virtual-in-" + juce::String (core->nextInputNumber++);
    core->devices.push_back (std::make_shared<Device> (name, id, true));
    return id;
}

juce::String InProcessMidiSystem::addOutputDevice (const juce::String& name, Receiver receiver)
{
    const std::lock_guard<std::mutex> sl (core->mutex);
    auto id = "virtual-out-" + juce::String (core->nextOutputNumber++);
    auto device = std::make_shared<Device> (name, id, false);
    device->receiver = std::move (receiver);
    core->devices.push_back (std::move (device));
    return id;
}

void InProcessMidiSystem::setReceiver (const juce::String& outputIdentifier, Receiver receiver)
{
    if (auto d = core->findLocked (outputIdentifier))
    {
        const std::lock_guard<std::mutex> sendLock (d->sendMutex);
        d->receiver = std::move (receiver);
    }
}

void InProcessMidiSystem::removeDevice (const juce::String& identifier)
{
    auto d = core->findLocked (identifier);

    if (d == nullptr)
        return;

    {
        const std::lock_guard<std::mutex> sl (core->mutex);
        d->removed = true;
    }

    const std::lock_guard<std::mutex> sendLock (d->sendMutex);
    d->receiver = nullptr;
}

void InProcessMidiSystem::setOpenFails (const juce::String& identifier, bool fails)
{
    const std::lock_guard<std::mutex> sl (core->mutex);

    if (auto d = core->find (identifier))
        d->openFails = fails;
}

int InProcessMidiSystem::sendToProgram (const juce::String& inputIdentifier, const juce::MidiMessage& message)
{
    std::vector<std::shared_ptr<InputPortState>> ports;

    {
        const std::lock_guard<std::mutex> sl (core->mutex);
        auto d = core->find (inputIdentifier);

        if (d == nullptr || ! d->isInput || d->removed)
            return 0;

        ports = d->inputPorts;
    }

    // Stamped on arrival, as the framework does.
    const juce::MidiMessage stamped (message, juce::Time::getMillisecondCounter() * 0.001);
    int taken = 0;

    for (auto& port : ports)
    {
        {
            const std::lock_guard<std::mutex> ql (port->queueMutex);

            if (! port->started || port->exitRequested)
                continue;

            port->queue.push_back (stamped);
        }
        port->queueChanged.notify_one();
        ++taken;
    }

    return taken;
}

bool InProcessMidiSystem::waitUntilDelivered (const juce::String& inputIdentifier, int timeoutMs) const
{
    std::vector<std::shared_ptr<InputPortState>> ports;

    {
        const std::lock_guard<std::mutex> sl (core->mutex);

        if (auto d = core->find (inputIdentifier))
            ports = d->inputPorts;
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds (timeoutMs);

    for (auto& port : ports)
    {
        std::unique_lock<std::mutex> ql (port->queueMutex);

        if (! port->becameIdle.wait_until (ql, deadline, [&] { return port->queue.empty() && ! port->delivering; }))
            return false;
    }

    return true;
}

std::vector<juce::MidiMessage> InProcessMidiSystem::getReceivedMessages (const juce::String& outputIdentifier) const
{
    const std::lock_guard<std::mutex> sl (core->mutex);
    auto d = core->find (outputIdentifier);
    return d != nullptr ? d->received : std::vector<juce::MidiMessage>();
}

void InProcessMidiSystem::clearReceivedMessages (const juce::String& outputIdentifier)
{
    const std::lock_guard<std::mutex> sl (core->mutex);

    if (auto d = core->find (outputIdentifier))
        d->received.clear();
}

int InProcessMidiSystem::getOpenCount (const juce::String& identifier) const
{
    const std::lock_guard<std::mutex> sl (core->mutex);
    auto d = core->find (identifier);
    return d != nullptr ? d->opens : 0;
}

int InProcessMidiSystem::getCloseCount (const juce::String& identifier) const
{
    const std::lock_guard<std::mutex> sl (core->mutex);
    auto d = core->find (identifier);
    return d != nullptr ? d->closes : 0;
}

bool InProcessMidiSystem::isOpen (const juce::String& identifier) const
{
    const std::lock_guard<std::mutex> sl (core->mutex);
    auto d = core->find (identifier);
    return d != nullptr && d->openPorts > 0;
}

bool InProcessMidiSystem::isStarted (const juce::String& identifier) const
{
    const std::lock_guard<std::mutex> sl (core->mutex);
    auto d = core->find (identifier);

    return d != nullptr
        && std::any_of (d->inputPorts.begin(), d->inputPorts.end(), [] (auto& p) { return p->started.load(); });
}

int InProcessMidiSystem::getDeliveredCount (const juce::String& inputIdentifier) const
{
    auto d = core->findLocked (inputIdentifier);
    return d != nullptr ? d->delivered.load() : 0;
}

juce::StringArray InProcessMidiSystem::getPortEvents() const
{
    const std::lock_guard<std::mutex> sl (core->mutex);
    return core->events;
}

std::unique_ptr<MidiInputPort> InProcessMidiSystem::openInput (const juce::String& identifier,
                                                               juce::MidiInputCallback& callback)
{
    // Opening takes the system's callback lock, as the framework's does.
    const std::lock_guard<std::recursive_mutex> cl (*core->callbackLock);
    auto d = core->beginOpen (identifier, true);

    if (d == nullptr)
        return nullptr;

    auto state = std::make_shared<InputPortState> (callback, d, core->callbackLock);

    {
        const std::lock_guard<std::mutex> sl (core->mutex);
        d->inputPorts.push_back (state);
    }

    return std::make_unique<InProcessInputPort> (core, std::move (state));
}

std::unique_ptr<MidiOutputPort> InProcessMidiSystem::openOutput (const juce::String& identifier)
{
    const std::lock_guard<std::recursive_mutex> cl (*core->callbackLock);
    auto d = core->beginOpen (identifier, false);

    if (d == nullptr)
        return nullptr;

    return std::make_unique<InProcessOutputPort> (core, std::move (d));
}

juce::Array<juce::MidiDeviceInfo> InProcessMidiSystem::getInputDevices()
{
    return core->list (true);
}

juce::Array<juce::MidiDeviceInfo> InProcessMidiSystem::getOutputDevices()
{
    return core->list (false);
}

} // namespace tunewright::midi
