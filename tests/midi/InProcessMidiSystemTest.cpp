// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/InProcessMidiSystem.h"
#include "tests/midi/Watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

namespace tunewright::midi
{
namespace
{

using namespace std::chrono_literals;
using testing::Background;
using testing::finishWithin;
using testing::hangLimit;

// How long a test lets a blocked call run before it checks that it is still blocked.
constexpr auto blockedForAWhile = 200ms;

juce::MidiMessage sysex (std::vector<juce::uint8> body)
{
    return juce::MidiMessage::createSysExMessage (body.data(), (int) body.size());
}

std::vector<juce::uint8> bytesOf (const juce::MidiMessage& m)
{
    return { m.getRawData(), m.getRawData() + m.getRawDataSize() };
}

// A one-shot signal between threads.
class Gate
{
public:
    void open()
    {
        {
            const std::lock_guard<std::mutex> sl (mutex);
            isOpen = true;
        }
        changed.notify_all();
    }

    bool waitOpen (std::chrono::milliseconds limit = hangLimit)
    {
        std::unique_lock<std::mutex> sl (mutex);
        return changed.wait_for (sl, limit, [this] { return isOpen; });
    }

private:
    std::mutex mutex;
    std::condition_variable changed;
    bool isOpen = false;
};

// The program's side of an input: records what arrives, where and whether
// two deliveries ever overlapped. A test may hold a delivery inside the callback.
class RecordingCallback : public juce::MidiInputCallback
{
public:
    std::function<void (const juce::MidiMessage&)> duringDelivery;

    void handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& message) override
    {
        if (++inside > 1)
            overlapped = true;

        if (duringDelivery)
            duringDelivery (message);

        {
            const std::lock_guard<std::mutex> sl (mutex);
            messages.push_back (bytesOf (message));
            threads.insert (std::this_thread::get_id());
        }
        arrived.notify_all();
        --inside; // last: once it reads 0, no delivery touches this object
    }

    // For a delivery on a thread nobody can join (one that closed its own input).
    bool waitUntilNoDeliveryRuns (std::chrono::milliseconds limit = hangLimit)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (inside != 0)
        {
            if (std::chrono::steady_clock::now() > end)
                return false;
            std::this_thread::sleep_for (1ms);
        }
        return true;
    }

    bool waitForCount (size_t count, std::chrono::milliseconds limit = hangLimit)
    {
        std::unique_lock<std::mutex> sl (mutex);
        return arrived.wait_for (sl, limit, [&] { return messages.size() >= count; });
    }

    std::vector<std::vector<juce::uint8>> received()
    {
        const std::lock_guard<std::mutex> sl (mutex);
        return messages;
    }

    std::set<std::thread::id> deliveryThreads()
    {
        const std::lock_guard<std::mutex> sl (mutex);
        return threads;
    }

    std::atomic<bool> overlapped { false };

private:
    std::atomic<int> inside { 0 };
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::vector<juce::uint8>> messages;
    std::set<std::thread::id> threads;
};

juce::StringArray lines (std::initializer_list<juce::String> items)
{
    juce::StringArray result;

    for (auto& item : items)
        result.add (item);

    return result;
}

juce::StringArray namesOf (const juce::Array<juce::MidiDeviceInfo>& devices)
{
    juce::StringArray names;

    for (auto& d : devices)
        names.add (d.name);

    return names;
}

//==============================================================================
TEST (InProcessMidiDevices, ListEachKindInCreationOrderWithUniqueIdentifiers)
{
    InProcessMidiSystem system;
    const auto keys = system.addInputDevice ("Keys");
    const auto synth = system.addOutputDevice ("Synth");
    const auto emuIn = system.addInputDevice ("VT9R Emulator");
    const auto emuOut = system.addOutputDevice ("VT9R Emulator");
    const auto keys2 = system.addInputDevice ("Keys");

    EXPECT_EQ (namesOf (system.getInputDevices()), lines ({ "Keys", "VT9R Emulator", "Keys" }));
    EXPECT_EQ (namesOf (system.getOutputDevices()), lines ({ "Synth", "VT9R Emulator" }));

    const auto inputs = system.getInputDevices();
    EXPECT_EQ (inputs[0].identifier, keys);
    EXPECT_EQ (inputs[1].identifier, emuIn);
    EXPECT_EQ (inputs[2].identifier, keys2);
    EXPECT_EQ (system.getOutputDevices()[1].identifier, emuOut);

    const std::set<juce::String> ids { keys, synth, emuIn, emuOut, keys2 };
    EXPECT_EQ (ids.size(), 5u) << "identifiers must differ even for equal names and across kinds";
    EXPECT_EQ (ids.count (juce::String()), 0u);
}

TEST (InProcessMidiDevices, RemovedDeviceLeavesItsListKeepingTheOthersInOrder)
{
    InProcessMidiSystem system;
    system.addOutputDevice ("A");
    const auto b = system.addOutputDevice ("B");
    system.addOutputDevice ("C");

    system.removeDevice (b);

    EXPECT_EQ (namesOf (system.getOutputDevices()), lines ({ "A", "C" }));
    EXPECT_TRUE (system.getInputDevices().isEmpty());
}

struct OpenFailureCase
{
    const char* name;
    bool openAsInput;
    // Prepares the system and returns the identifier to open.
    std::function<juce::String (InProcessMidiSystem&)> prepare;
};

class InProcessMidiOpenFailure : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P (InProcessMidiOpenFailure, ReturnsNullAndRecordsTheAttempt)
{
    InProcessMidiSystem system;
    const auto id = GetParam().prepare (system);
    RecordingCallback callback;

    const bool opened = GetParam().openAsInput ? system.openInput (id, callback) != nullptr
                                               : system.openOutput (id) != nullptr;

    EXPECT_FALSE (opened);
    EXPECT_EQ (system.getOpenCount (id), 0);
    EXPECT_FALSE (system.isOpen (id));
    EXPECT_EQ (system.getPortEvents(), lines ({ "open failed " + id }));
}

INSTANTIATE_TEST_SUITE_P (
    Cases, InProcessMidiOpenFailure,
    ::testing::Values (
        OpenFailureCase { "UnknownInput", true, [] (auto&) { return juce::String ("virtual-in-99"); } },
        OpenFailureCase { "UnknownOutput", false, [] (auto&) { return juce::String ("virtual-out-99"); } },
        OpenFailureCase { "EmptyIdentifier", true, [] (auto& s) { s.addInputDevice ("A"); return juce::String(); } },
        OpenFailureCase { "OutputOpenedAsInput", true, [] (auto& s) { return s.addOutputDevice ("A"); } },
        OpenFailureCase { "InputOpenedAsOutput", false, [] (auto& s) { return s.addInputDevice ("A"); } },
        OpenFailureCase { "InputMadeToFail", true,
                          [] (auto& s) { auto id = s.addInputDevice ("A"); s.setOpenFails (id, true); return id; } },
        OpenFailureCase { "OutputMadeToFail", false,
                          [] (auto& s) { auto id = s.addOutputDevice ("A"); s.setOpenFails (id, true); return id; } },
        OpenFailureCase { "RemovedInput", true,
                          [] (auto& s) { auto id = s.addInputDevice ("A"); s.removeDevice (id); return id; } },
        OpenFailureCase { "RemovedOutput", false,
                          [] (auto& s) { auto id = s.addOutputDevice ("A"); s.removeDevice (id); return id; } }),
    [] (const auto& p) { return std::string (p.param.name); });

TEST (InProcessMidiOpen, FailureAffectsOnlyItsDeviceAndCanBeLifted)
{
    InProcessMidiSystem system;
    const auto a = system.addOutputDevice ("A");
    const auto b = system.addOutputDevice ("B");
    system.setOpenFails (a, true);

    EXPECT_EQ (system.openOutput (a), nullptr);
    EXPECT_NE (system.openOutput (b), nullptr);

    system.setOpenFails (a, false);
    EXPECT_NE (system.openOutput (a), nullptr);
    EXPECT_EQ (system.getOpenCount (a), 1);
}

TEST (InProcessMidiOpen, RecordsOpensAndClosesInOrderWithCounts)
{
    InProcessMidiSystem system;
    const auto in = system.addInputDevice ("In");
    const auto outA = system.addOutputDevice ("A");
    const auto outB = system.addOutputDevice ("B");
    RecordingCallback callback;

    auto input = system.openInput (in, callback);
    auto output = system.openOutput (outA);
    EXPECT_TRUE (system.isOpen (in));
    EXPECT_FALSE (system.isStarted (in)) << "an input delivers nothing until started";

    input->start();
    EXPECT_TRUE (system.isStarted (in));
    input->stop();
    EXPECT_FALSE (system.isStarted (in));
    EXPECT_TRUE (system.isOpen (in));

    output.reset();
    output = system.openOutput (outB);
    output.reset();
    output = system.openOutput (outA);
    input.reset();

    EXPECT_EQ (system.getPortEvents(),
               lines ({ "open " + in, "open " + outA, "close " + outA, "open " + outB,
                                    "close " + outB, "open " + outA, "close " + in }));
    EXPECT_EQ (system.getOpenCount (outA), 2);
    EXPECT_EQ (system.getCloseCount (outA), 1);
    EXPECT_TRUE (system.isOpen (outA));
    EXPECT_FALSE (system.isOpen (outB));
    EXPECT_FALSE (system.isOpen (in));
    EXPECT_EQ (system.getCloseCount (in), 1);
}

//==============================================================================
TEST (InProcessMidiDelivery, DeliversEveryMessageWholeInOrderOneAtATimeOffTheSendersThread)
{
    InProcessMidiSystem system;
    const auto in = system.addInputDevice ("In");
    RecordingCallback callback;
    callback.duringDelivery = [] (const juce::MidiMessage&) { std::this_thread::yield(); };
    auto input = system.openInput (in, callback);
    input->start();

    std::vector<juce::MidiMessage> sent;
    std::vector<juce::uint8> packet (81, 0x11), big (16384, 0x22);
    sent.push_back (sysex ({ 0x42, 0x23, 0x73, 0x01 }));
    sent.push_back (sysex (packet));
    sent.push_back (juce::MidiMessage::noteOn (1, 60, (juce::uint8) 100));
    sent.push_back (sysex (big));

    for (int i = 0; i < 300; ++i)
        sent.push_back (sysex ({ 0x42, 0x23, 0x73, 0x05, (juce::uint8) (i & 0x7f), (juce::uint8) (i >> 7) }));

    finishWithin ("sending", [&] {
        for (auto& m : sent)
            EXPECT_EQ (system.sendToProgram (in, m), 1);
    });
    ASSERT_TRUE (callback.waitForCount (sent.size()));
    ASSERT_TRUE (system.waitUntilDelivered (in, 20000));

    const auto got = callback.received();
    ASSERT_EQ (got.size(), sent.size());

    for (size_t i = 0; i < sent.size(); ++i)
        ASSERT_EQ (got[i], bytesOf (sent[i])) << "message " << i;

    EXPECT_EQ (got[3].size(), 16386u) << "a long SysEx arrives whole, with F0 and F7";
    EXPECT_FALSE (callback.overlapped);
    EXPECT_EQ (callback.deliveryThreads().size(), 1u);
    EXPECT_EQ (callback.deliveryThreads().count (std::this_thread::get_id()), 0u);
    EXPECT_EQ (system.getDeliveredCount (in), (int) sent.size());
}

// Like the framework's Linux client: each input has its own delivery thread,
// but one callback lock serves every port, so a delivery in progress holds up
// the other inputs' deliveries and the opening and closing of any port.
TEST (InProcessMidiDelivery, AllPortsShareOneCallbackLock)
{
    InProcessMidiSystem system;
    const auto inA = system.addInputDevice ("A");
    const auto inB = system.addInputDevice ("B");
    const auto out = system.addOutputDevice ("Out");
    RecordingCallback callbackA, callbackB;
    Gate releaseA, aDelivering;
    callbackA.duringDelivery = [&] (const juce::MidiMessage&) {
        aDelivering.open();
        releaseA.waitOpen();
    };

    auto portA = system.openInput (inA, callbackA);
    auto portB = system.openInput (inB, callbackB);
    portA->start();
    portB->start();

    system.sendToProgram (inA, sysex ({ 1 }));
    ASSERT_TRUE (aDelivering.waitOpen());
    system.sendToProgram (inB, sysex ({ 2 }));

    std::atomic<bool> outputOpened { false };
    std::thread opener ([&] {
        auto output = system.openOutput (out);
        outputOpened = output != nullptr;
    });

    EXPECT_FALSE (callbackB.waitForCount (1, 200ms)) << "B waits behind A's delivery";
    EXPECT_FALSE (outputOpened) << "opening a port waits for the delivery";

    releaseA.open();
    EXPECT_TRUE (callbackB.waitForCount (1));
    opener.join();
    EXPECT_TRUE (outputOpened);
    ASSERT_TRUE (callbackA.waitForCount (1));
    EXPECT_NE (*callbackA.deliveryThreads().begin(), *callbackB.deliveryThreads().begin());
}

TEST (InProcessMidiDelivery, NothingArrivesUnlessTheInputIsStarted)
{
    InProcessMidiSystem system;
    const auto in = system.addInputDevice ("In");
    RecordingCallback callback;

    EXPECT_EQ (system.sendToProgram (in, sysex ({ 1 })), 0) << "no port open";

    auto input = system.openInput (in, callback);
    EXPECT_EQ (system.sendToProgram (in, sysex ({ 2 })), 0) << "open but not started";

    input->start();
    EXPECT_EQ (system.sendToProgram (in, sysex ({ 3 })), 1);
    ASSERT_TRUE (callback.waitForCount (1));

    input->stop();
    EXPECT_EQ (system.sendToProgram (in, sysex ({ 4 })), 0) << "stopped";

    input->start();
    EXPECT_EQ (system.sendToProgram (in, sysex ({ 5 })), 1);
    ASSERT_TRUE (callback.waitForCount (2));
    ASSERT_TRUE (system.waitUntilDelivered (in, 20000));

    const auto got = callback.received();
    ASSERT_EQ (got.size(), 2u);
    EXPECT_EQ (got[0], bytesOf (sysex ({ 3 })));
    EXPECT_EQ (got[1], bytesOf (sysex ({ 5 })));
}

//==============================================================================
// Stopping and closing wait for a delivery in progress, as the framework's do.
enum class Ending { stop, close };

class InProcessMidiEnding : public ::testing::TestWithParam<Ending> {};

TEST_P (InProcessMidiEnding, WaitsForTheDeliveryInProgressAndDropsWhatIsQueued)
{
    InProcessMidiSystem system;
    const auto in = system.addInputDevice ("In");
    RecordingCallback callback;
    Gate entered, release;
    callback.duringDelivery = [&] (const juce::MidiMessage&) {
        entered.open();
        release.waitOpen();
    };

    auto input = system.openInput (in, callback);
    input->start();

    for (juce::uint8 i = 0; i < 5; ++i)
        system.sendToProgram (in, sysex ({ i }));

    ASSERT_TRUE (entered.waitOpen());

    Background ending ([&] {
        if (GetParam() == Ending::stop)
            input->stop();
        else
            input.reset();
    });

    EXPECT_FALSE (ending.finishesWithin (blockedForAWhile)) << "returned while a delivery was running";

    release.open();
    ending.join ("ending the input");

    ASSERT_TRUE (system.waitUntilDelivered (in, 20000));
    EXPECT_EQ (callback.received().size(), 1u) << "messages queued behind the running delivery are dropped";
    EXPECT_EQ (system.isOpen (in), GetParam() == Ending::stop);
}

TEST_P (InProcessMidiEnding, FromInsideTheCallbackDoesNotDeadlock)
{
    InProcessMidiSystem system;
    const auto in = system.addInputDevice ("In");
    RecordingCallback callback;
    std::unique_ptr<MidiInputPort> input;
    Gate ended;

    callback.duringDelivery = [&] (const juce::MidiMessage&) {
        if (GetParam() == Ending::stop)
            input->stop();
        else
            input.reset();

        ended.open();
    };

    input = system.openInput (in, callback);
    input->start();
    system.sendToProgram (in, sysex ({ 1 }));
    system.sendToProgram (in, sysex ({ 2 }));

    ASSERT_TRUE (ended.waitOpen()) << "the callback did not come back from ending its own input";
    ASSERT_TRUE (callback.waitForCount (1));
    ASSERT_TRUE (callback.waitUntilNoDeliveryRuns());
    ASSERT_TRUE (system.waitUntilDelivered (in, 20000));
    EXPECT_EQ (system.getDeliveredCount (in), 1);
    EXPECT_EQ (system.isOpen (in), GetParam() == Ending::stop);
}

INSTANTIATE_TEST_SUITE_P (Ways, InProcessMidiEnding, ::testing::Values (Ending::stop, Ending::close),
                          [] (const auto& p) { return p.param == Ending::stop ? "Stop" : "Close"; });

// The hazard the program must handle: a delivery that waits for a lock the
// closer holds keeps the close waiting until the delivery gives up its wait.
TEST (InProcessMidiEnding, CloseWaitsWhileTheDeliveryWaitsForTheClosersLock)
{
    InProcessMidiSystem system;
    const auto in = system.addInputDevice ("In");
    RecordingCallback callback;
    std::timed_mutex programLock;
    std::atomic<bool> giveUp { false };
    std::atomic<bool> gotLock { false };
    Gate deliveryWaiting;

    callback.duringDelivery = [&] (const juce::MidiMessage&) {
        deliveryWaiting.open();

        while (! giveUp)
        {
            if (programLock.try_lock_for (5ms))
            {
                gotLock = true;
                programLock.unlock();
                return;
            }
        }
    };

    auto input = system.openInput (in, callback);
    input->start();

    Gate closerHoldsLock;
    Background closing ([&] {
        const std::lock_guard<std::timed_mutex> held (programLock);
        closerHoldsLock.open();
        deliveryWaiting.waitOpen();
        input.reset();
    });

    ASSERT_TRUE (closerHoldsLock.waitOpen());
    system.sendToProgram (in, sysex ({ 1 }));
    ASSERT_TRUE (deliveryWaiting.waitOpen());
    EXPECT_FALSE (closing.finishesWithin (blockedForAWhile)) << "the close must not cut a delivery short";

    giveUp = true;
    closing.join ("closing while the delivery gives up");
    EXPECT_FALSE (gotLock);
}

//==============================================================================
TEST (InProcessMidiSend, ReturnsOnlyAfterTheReceiverHasTheWholeMessage)
{
    std::vector<juce::uint8> receivedBytes;
    std::thread::id receiverThread;
    InProcessMidiSystem system;
    const auto out = system.addOutputDevice ("Out", [&] (const juce::MidiMessage& m) {
        std::this_thread::sleep_for (50ms);
        receivedBytes = bytesOf (m);
        receiverThread = std::this_thread::get_id();
    });
    auto output = system.openOutput (out);
    std::vector<juce::uint8> packet (81);

    for (size_t i = 0; i < packet.size(); ++i)
        packet[i] = (juce::uint8) (i & 0x7f);

    const auto message = sysex (packet);
    finishWithin ("send", [&] { output->sendMessageNow (message); });

    EXPECT_EQ (receivedBytes, bytesOf (message));
    EXPECT_EQ (receivedBytes.size(), 83u);
}

TEST (InProcessMidiSend, RecordsMessagesInOrderAndHandsThemOverOneAtATime)
{
    std::atomic<int> inside { 0 };
    std::atomic<bool> overlapped { false };
    InProcessMidiSystem system;
    const auto out = system.addOutputDevice ("Out", [&] (const juce::MidiMessage&) {
        if (++inside > 1)
            overlapped = true;
        std::this_thread::yield();
        --inside;
    });
    auto first = system.openOutput (out);
    auto second = system.openOutput (out);

    {
        Background a ([&] { for (int i = 0; i < 200; ++i) first->sendMessageNow (sysex ({ 1, (juce::uint8) (i & 0x7f) })); });
        Background b ([&] { for (int i = 0; i < 200; ++i) second->sendMessageNow (sysex ({ 2, (juce::uint8) (i & 0x7f) })); });
        a.join ("sender a");
        b.join ("sender b");
    }

    EXPECT_FALSE (overlapped);

    const auto got = system.getReceivedMessages (out);
    ASSERT_EQ (got.size(), 400u);
    int nextFrom[3] = { 0, 0, 0 };

    for (auto& m : got)
    {
        const int sender = m.getSysExData()[0];
        EXPECT_EQ (m.getSysExData()[1], nextFrom[sender]++ & 0x7f) << "each sender's messages keep their order";
    }

    system.clearReceivedMessages (out);
    EXPECT_TRUE (system.getReceivedMessages (out).empty());
}

TEST (InProcessMidiSend, ReplacingTheReceiverWaitsForASendInProgress)
{
    Gate entered, release;
    std::atomic<int> oldCalls { 0 }, newCalls { 0 };
    InProcessMidiSystem system;
    const auto out = system.addOutputDevice ("Out", [&] (const juce::MidiMessage&) {
        ++oldCalls;
        entered.open();
        release.waitOpen();
    });
    auto output = system.openOutput (out);

    Background sending ([&] { output->sendMessageNow (sysex ({ 1 })); });
    ASSERT_TRUE (entered.waitOpen());

    Background replacing ([&] { system.setReceiver (out, [&] (const juce::MidiMessage&) { ++newCalls; }); });
    EXPECT_FALSE (replacing.finishesWithin (blockedForAWhile)) << "the old receiver is still running";

    release.open();
    sending.join ("send");
    replacing.join ("replacing the receiver");

    output->sendMessageNow (sysex ({ 2 }));
    EXPECT_EQ (oldCalls, 1);
    EXPECT_EQ (newCalls, 1);
}

TEST (InProcessMidiSend, PortsOnARemovedDeviceCarryNothing)
{
    int receiverCalls = 0;
    InProcessMidiSystem system;
    const auto out = system.addOutputDevice ("Out", [&] (const juce::MidiMessage&) { ++receiverCalls; });
    const auto in = system.addInputDevice ("In");
    RecordingCallback callback;
    auto output = system.openOutput (out);
    auto input = system.openInput (in, callback);
    input->start();

    system.removeDevice (out);
    system.removeDevice (in);

    output->sendMessageNow (sysex ({ 1 }));
    EXPECT_EQ (receiverCalls, 0);
    EXPECT_TRUE (system.getReceivedMessages (out).empty());
    EXPECT_EQ (system.sendToProgram (in, sysex ({ 2 })), 0);
}

TEST (InProcessMidiSend, PortsMayOutliveTheSystem)
{
    std::unique_ptr<MidiInputPort> input;
    std::unique_ptr<MidiOutputPort> output;
    RecordingCallback callback;

    {
        InProcessMidiSystem system;
        input = system.openInput (system.addInputDevice ("In"), callback);
        output = system.openOutput (system.addOutputDevice ("Out"));
        input->start();
    }

    finishWithin ("using and closing ports after the system", [&] {
        output->sendMessageNow (sysex ({ 1 }));
        input->stop();
        input.reset();
        output.reset();
    });
}

} // namespace
} // namespace tunewright::midi
