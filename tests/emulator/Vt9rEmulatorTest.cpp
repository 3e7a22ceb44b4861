// SPDX-License-Identifier: GPL-3.0-or-later
#include "emulator/Vt9rEmulator.h"
#include "tests/midi/Watchdog.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <set>
#include <tuple>

namespace tunewright::emulator
{
namespace
{

using namespace std::chrono_literals;
using Bytes = std::vector<juce::uint8>;
using testing::hangLimit;

// Wire bytes of what the program sends and expects, written out here from the
// message set rather than taken from the program's own builders.
const Bytes attach { 0xF0, 0x42, 0x30, 0x73, 0x20, 0x4E, 0x40, 0x00, 0xF7 };
const Bytes updateRequest { 0xF0, 0x42, 0x23, 0x73, 0x00, 0x20, 0xF7 };
const Bytes songSelectRequest { 0xF0, 0x42, 0x23, 0x73, 0x01, 0xF7 };
const Bytes dataStartRequest { 0xF0, 0x42, 0x23, 0x73, 0x03, 0xF7 };

Bytes songSelectReply (int slot) { return { 0xF0, 0x42, 0x23, 0x73, 0x02, (juce::uint8) slot, 0xF7 }; }
Bytes dataStartReply (int slot) { return { 0xF0, 0x42, 0x23, 0x73, 0x04, 0x00, (juce::uint8) slot, 0x7F, 0x7F, 0xF7 }; }
Bytes status (int code) { return { 0xF0, 0x42, 0x23, 0x73, 0x05, (juce::uint8) code, 0xF7 }; }

// The 83 wire bytes of data packet n carrying song bytes 64n to 64n + 63.
Bytes packet (int n, const juce::uint8* song)
{
    Bytes p { 0xF0, 0x42, 0x23, 0x73, 0x06, (juce::uint8) (n >= 128 ? 1 : 0), (juce::uint8) (n & 0x7F) };
    int sum = 0;

    for (int start = 0; start < 64; start += 7)
    {
        const auto highAt = p.size();
        p.push_back (0);

        for (int k = start; k < std::min (start + 7, 64); ++k)
        {
            const auto b = song[64 * n + k];
            p.push_back (b & 0x7F);
            sum += b & 0x7F;
            p[highAt] = (juce::uint8) (p[highAt] | ((b >> 7) << (k - start)));
        }

        sum += p[highAt];
    }

    p.push_back ((juce::uint8) (sum & 0x7F));
    p.push_back (0xF7);
    return p;
}

// A song image: 5000 bytes of content spanning all byte values, then the 0xFF fill.
constexpr int songLength = 5000;

std::vector<juce::uint8> makeSong()
{
    std::vector<juce::uint8> song (Vt9rEmulator::songBytes, 0xFF);

    for (int i = 0; i < songLength; ++i)
        song[(size_t) i] = (juce::uint8) ((i * 37 + i / 64) % 0xFF); // never 0xFF, so the length is exact

    return song;
}

juce::MidiMessage toMessage (const Bytes& wire)
{
    return juce::MidiMessage (wire.data(), (int) wire.size());
}

// The program's side: opens the emulator's devices, sends wire bytes and
// collects what comes back.
class ProgramDouble : public juce::MidiInputCallback
{
public:
    ProgramDouble (midi::InProcessMidiSystem& s, Vt9rEmulator& e) : system (s), emulator (e)
    {
        input = system.openInput (emulator.getInputIdentifier(), *this);
        input->start();
        output = system.openOutput (emulator.getOutputIdentifier());
    }

    ~ProgramDouble() override
    {
        input->stop();
        input.reset();
    }

    void send (const Bytes& wire) { output->sendMessageNow (toMessage (wire)); }

    // An answer comes within milliseconds; the limit only keeps a failing run short.
    std::optional<Bytes> next (std::chrono::milliseconds limit = 5s)
    {
        std::unique_lock<std::mutex> sl (mutex);

        if (! arrived.wait_for (sl, limit, [this] { return ! received.empty(); }))
            return std::nullopt;

        auto m = received.front();
        received.pop_front();
        return m;
    }

    // Everything the emulator had to do has been done and delivered.
    bool settled()
    {
        return emulator.waitUntilIdle (hangLimit)
            && system.waitUntilDelivered (emulator.getInputIdentifier(), (int) hangLimit.count());
    }

    bool nothingArrived()
    {
        if (! settled())
            return false;

        const std::lock_guard<std::mutex> sl (mutex);
        return received.empty();
    }

    // Sends and expects exactly this answer.
    void exchange (const Bytes& sent, const Bytes& expected)
    {
        send (sent);
        EXPECT_EQ (next(), expected);
    }

    // Update request to data start: the unit then asks for packet 0.
    void startTransfer (int slot)
    {
        exchange (updateRequest, songSelectRequest);
        exchange (songSelectReply (slot), dataStartRequest);
        exchange (dataStartReply (slot), status (0));
    }

    // Sends packets first..last, each answered with status 0.
    void sendPackets (const std::vector<juce::uint8>& song, int first, int last)
    {
        for (int n = first; n <= last; ++n)
        {
            send (packet (n, song.data()));
            ASSERT_EQ (next(), status (0)) << "answer to packet " << n;
        }
    }

    void handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage& m) override
    {
        {
            const std::lock_guard<std::mutex> sl (mutex);
            received.emplace_back (m.getRawData(), m.getRawData() + m.getRawDataSize());
        }
        arrived.notify_all();
    }

private:
    midi::InProcessMidiSystem& system;
    Vt9rEmulator& emulator;
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Bytes> received;
    std::unique_ptr<midi::MidiInputPort> input;
    std::unique_ptr<midi::MidiOutputPort> output;
};

struct EmulatorTest : ::testing::Test
{
    midi::InProcessMidiSystem system;
    Vt9rEmulator emulator { system };
    ProgramDouble program { system, emulator };
    const std::vector<juce::uint8> song = makeSong();

    bool slotIsEmpty (int slot)
    {
        const auto bytes = emulator.getSlot (slot);
        return ! emulator.hasSong (slot)
            && std::all_of (bytes.begin(), bytes.end(), [] (auto b) { return b == 0xFF; });
    }
};

//==============================================================================
TEST (EmulatorTestDouble, PacketEncoderMatchesTheWorkedLayouts)
{
    std::vector<juce::uint8> filler (64, 0xFF), ramp (64);

    for (int i = 0; i < 64; ++i)
        ramp[(size_t) i] = (juce::uint8) i;

    const auto f = packet (0, filler.data());
    ASSERT_EQ (f.size(), 83u);
    EXPECT_EQ (Bytes (f.begin() + 7, f.begin() + 79), Bytes (72, 0x7F));
    EXPECT_EQ (Bytes (f.begin() + 79, f.end()), (Bytes { 0x01, 0x7F, 0x38, 0xF7 }));

    const auto r = packet (0, ramp.data());
    EXPECT_EQ (Bytes (r.begin() + 7, r.begin() + 15), (Bytes { 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06 }));
    EXPECT_EQ (r[81], 0x60);

    std::vector<juce::uint8> image (Vt9rEmulator::songBytes, 0);

    for (auto [n, hi, lo] : { std::tuple { 127, 0x00, 0x7F }, std::tuple { 128, 0x01, 0x00 }, std::tuple { 255, 0x01, 0x7F } })
    {
        const auto p = packet (n, image.data());
        EXPECT_EQ (p[5], hi) << n;
        EXPECT_EQ (p[6], lo) << n;
    }
}

//==============================================================================
class EmulatorHappyPath : public EmulatorTest, public ::testing::WithParamInterface<int> {};

TEST_P (EmulatorHappyPath, StoresTheDecodedSongInTheChosenSlotAndReportsEachStep)
{
    const int slot = GetParam();
    std::mutex linesMutex;
    juce::StringArray observed;
    emulator.setObserver ([&] (const juce::String& line) {
        const std::lock_guard<std::mutex> sl (linesMutex);
        observed.add (line);
    });

    program.send (attach);
    program.startTransfer (slot);
    program.sendPackets (song, 0, 255);
    ASSERT_TRUE (program.nothingArrived()) << "one answer per packet, nothing more";

    ASSERT_TRUE (emulator.hasSong (slot));
    const auto stored = emulator.getSlot (slot);
    EXPECT_TRUE (std::equal (stored.begin(), stored.end(), song.begin()));

    for (int other = 0; other < Vt9rEmulator::slotCount; ++other)
        EXPECT_TRUE (other == slot || slotIsEmpty (other)) << "slot " << other;

    const auto c = emulator.getCounters();
    EXPECT_EQ (c.attachMessages, 1);
    EXPECT_EQ (c.updateRequests, 1);
    EXPECT_EQ (c.songSelectReplies, 1);
    EXPECT_EQ (c.dataStartReplies, 1);
    EXPECT_EQ (c.packetsReceived, 256);
    EXPECT_EQ (c.packetsAccepted, 256);
    EXPECT_EQ (c.errors, 0);
    EXPECT_EQ (c.songsStored, 1);
    EXPECT_EQ (c.messagesSent, 3 + 256);

    const auto name = "SONG 0" + juce::String (slot + 1);
    juce::StringArray expected { "attach message received",
                                 "update request received; asking for the song slot",
                                 "slot " + name + " selected; asking to start the data",
                                 "data start for " + name + "; asking for packet 0" };

    for (int n = 31; n < 256; n += 32)
        expected.add ("packet " + juce::String (n) + " received (" + juce::String (n + 1) + " of 256)");

    const auto crc = juce::String::toHexString ((juce::int64) Vt9rEmulator::crc32 (song.data(), (int) song.size()));
    expected.add ("song stored in " + name + ": 5000 bytes, CRC-32 0x" + crc.toUpperCase().paddedLeft ('0', 8));

    EXPECT_EQ (emulator.getLog(), expected);
    const std::lock_guard<std::mutex> sl (linesMutex);
    EXPECT_EQ (observed, expected) << "the observer sees the same lines, in order";
}

INSTANTIATE_TEST_SUITE_P (Slots, EmulatorHappyPath, ::testing::Values (0, 1, 2),
                          [] (const auto& p) { return "Song0" + std::to_string (p.param + 1); });

TEST_F (EmulatorTest, ASecondSongReplacesOnlyItsOwnSlot)
{
    auto second = song;
    std::reverse (second.begin(), second.begin() + 3000);

    program.startTransfer (1);
    program.sendPackets (song, 0, 255);
    program.startTransfer (2);
    program.sendPackets (second, 0, 255);
    program.startTransfer (1);
    program.sendPackets (second, 0, 255);

    const auto one = emulator.getSlot (1), two = emulator.getSlot (2);
    EXPECT_TRUE (std::equal (one.begin(), one.end(), second.begin()));
    EXPECT_TRUE (std::equal (two.begin(), two.end(), second.begin()));
    EXPECT_TRUE (slotIsEmpty (0));
    EXPECT_EQ (emulator.getCounters().songsStored, 3);
}

//==============================================================================
// The unit's own checks: each bad message is answered with its status code and
// ends the transfer, so a following packet is not answered.
struct CheckCase
{
    const char* name;
    std::function<void (ProgramDouble&, const std::vector<juce::uint8>&)> leadUpAndSendBad;
    int expectedCode;
};

class EmulatorChecks : public EmulatorTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P (EmulatorChecks, AnswersTheBadMessageWithItsCodeAndEndsTheTransfer)
{
    GetParam().leadUpAndSendBad (program, song);
    EXPECT_EQ (program.next(), status (GetParam().expectedCode));

    const auto errorsBefore = emulator.getCounters().errors;
    program.send (packet (0, song.data()));
    EXPECT_TRUE (program.nothingArrived()) << "a packet after the error must not be answered";
    EXPECT_EQ (emulator.getCounters().errors, errorsBefore + 1) << "the stray packet is an error";
    EXPECT_FALSE (emulator.hasSong (0) || emulator.hasSong (1) || emulator.hasSong (2));
}

Bytes withChecksum (Bytes p, int delta)
{
    p[81] = (juce::uint8) ((p[81] + delta) & 0x7F);
    return p;
}

INSTANTIATE_TEST_SUITE_P (
    Cases, EmulatorChecks,
    ::testing::Values (
        CheckCase { "SkippedPacket", [] (auto& p, auto& s) { p.startTransfer (0); p.sendPackets (s, 0, 9); p.send (packet (11, s.data())); }, 5 },
        CheckCase { "RepeatedPacket", [] (auto& p, auto& s) { p.startTransfer (0); p.sendPackets (s, 0, 9); p.send (packet (9, s.data())); }, 5 },
        CheckCase { "PacketNumberHighByteLost", [] (auto& p, auto& s) {
                        p.startTransfer (0);
                        p.sendPackets (s, 0, 127);
                        auto bad = packet (128, s.data());
                        bad[5] = 0; // reads as packet 0
                        p.send (bad);
                    }, 5 },
        CheckCase { "ChecksumOffByOne", [] (auto& p, auto& s) { p.startTransfer (2); p.sendPackets (s, 0, 40); p.send (withChecksum (packet (41, s.data()), 1)); }, 6 },
        CheckCase { "ChecksumOfLastPacket", [] (auto& p, auto& s) { p.startTransfer (1); p.sendPackets (s, 0, 254); p.send (withChecksum (packet (255, s.data()), 64)); }, 6 },
        CheckCase { "ShortPacket", [] (auto& p, auto& s) {
                        p.startTransfer (0);
                        auto bad = packet (0, s.data());
                        bad.erase (bad.begin() + 80);
                        p.send (bad);
                    }, 3 },
        CheckCase { "SlotOutOfRange", [] (auto& p, auto&) { p.exchange (updateRequest, songSelectRequest); p.send (songSelectReply (3)); }, 4 },
        CheckCase { "DataStartForAnotherSlot", [] (auto& p, auto&) {
                        p.exchange (updateRequest, songSelectRequest);
                        p.exchange (songSelectReply (0), dataStartRequest);
                        p.send (dataStartReply (1));
                    }, 4 },
        CheckCase { "MalformedDataStartReply", [] (auto& p, auto&) {
                        p.exchange (updateRequest, songSelectRequest);
                        p.exchange (songSelectReply (0), dataStartRequest);
                        auto bad = dataStartReply (0);
                        bad[8] = 0x7E;
                        p.send (bad);
                    }, 3 },
        CheckCase { "UpdateRequestForAnotherProduct", [] (auto& p, auto&) { p.send ({ 0xF0, 0x42, 0x23, 0x73, 0x00, 0x21, 0xF7 }); }, 1 }),
    [] (const auto& p) { return std::string (p.param.name); });

TEST_F (EmulatorTest, IgnoresMessagesThatAreNotForItOrOutOfTurn)
{
    struct Case { const char* name; Bytes wire; bool isError; };
    const Case cases[] = {
        { "note on", { 0x90, 0x3C, 0x64 }, false },
        { "another device's SysEx", { 0xF0, 0x43, 0x10, 0x4C, 0x00, 0xF7 }, false },
        { "song select reply not asked for", songSelectReply (0), true },
        { "data start reply not asked for", dataStartReply (0), true },
        { "packet outside a transfer", packet (0, song.data()), true },
        { "the unit's own request echoed back", songSelectRequest, true },
    };

    for (auto& c : cases)
    {
        const auto errorsBefore = emulator.getCounters().errors;
        program.send (c.wire);
        EXPECT_TRUE (program.nothingArrived()) << c.name;
        EXPECT_EQ (emulator.getCounters().errors, errorsBefore + (c.isError ? 1 : 0)) << c.name;
    }

    program.startTransfer (0); // still ready for a transfer
}

TEST_F (EmulatorTest, ANewUpdateRequestDuringATransferStartsOver)
{
    program.startTransfer (0);
    program.sendPackets (song, 0, 20);
    program.startTransfer (2);
    program.sendPackets (song, 0, 255);

    EXPECT_TRUE (emulator.hasSong (2));
    EXPECT_FALSE (emulator.hasSong (0));
}

//==============================================================================
// Injected faults.
struct StatusFaultCase
{
    const char* name;
    int packet;
    int code;
};

class EmulatorStatusFault : public EmulatorTest, public ::testing::WithParamInterface<StatusFaultCase> {};

TEST_P (EmulatorStatusFault, ReplacesTheAnswerToItsPacketOnceAndEndsTheTransfer)
{
    const auto [name, at, code] = GetParam();
    emulator.addFault (Vt9rEmulator::Fault::status (at, code));

    if (at == Vt9rEmulator::Fault::atDataStart)
    {
        program.exchange (updateRequest, songSelectRequest);
        program.exchange (songSelectReply (1), dataStartRequest);
        program.exchange (dataStartReply (1), status (code));
    }
    else
    {
        program.startTransfer (1);
        program.sendPackets (song, 0, at - 1);
        program.exchange (packet (at, song.data()), status (code));
    }

    program.send (packet ((at + 1) % 256, song.data()));
    EXPECT_TRUE (program.nothingArrived()) << "the transfer must have ended";
    EXPECT_FALSE (emulator.hasSong (1));

    // The fault fired once: the next transfer goes through.
    program.startTransfer (1);
    program.sendPackets (song, 0, 255);
    EXPECT_TRUE (emulator.hasSong (1));
}

INSTANTIATE_TEST_SUITE_P (
    Cases, EmulatorStatusFault,
    ::testing::Values (StatusFaultCase { "ProductIdAtFirstPacket", 0, 1 },
                       StatusFaultCase { "CodeWithoutText2", 7, 2 },
                       StatusFaultCase { "FormatAt100", 100, 3 },
                       StatusFaultCase { "SlotAt1", 1, 4 },
                       StatusFaultCase { "PacketNumberAt127", 127, 5 },
                       StatusFaultCase { "ChecksumAt40", 40, 6 },
                       StatusFaultCase { "TimeoutAtDataStart", Vt9rEmulator::Fault::atDataStart, 7 },
                       StatusFaultCase { "CodeWithoutText8", 128, 8 },
                       StatusFaultCase { "FlashWriteAtLastPacket", 255, 9 },
                       StatusFaultCase { "UserAbortAt200", 200, 10 },
                       StatusFaultCase { "CodeWithoutText11", 3, 11 },
                       StatusFaultCase { "HighestCode127", 64, 127 }),
    [] (const auto& p) { return std::string (p.param.name); });

TEST_F (EmulatorTest, StopAnsweringFaultSilencesTheUnitUntilToldOtherwise)
{
    emulator.addFault (Vt9rEmulator::Fault::stopAnswering (30));
    program.startTransfer (0);
    program.sendPackets (song, 0, 29);

    program.send (packet (30, song.data()));
    EXPECT_TRUE (program.nothingArrived());
    program.send (updateRequest);
    EXPECT_TRUE (program.nothingArrived());
    EXPECT_EQ (emulator.getCounters().packetsReceived, 31);
    EXPECT_EQ (emulator.getCounters().updateRequests, 2) << "heard but not answered";

    emulator.setAnswering (true);
    program.startTransfer (0);
    program.sendPackets (song, 0, 255);
    EXPECT_TRUE (emulator.hasSong (0));
}

TEST_F (EmulatorTest, RestartFaultAsksForTheDataAgainAndTheTransferBeginsAtPacketZero)
{
    emulator.addFault (Vt9rEmulator::Fault::restart (99));
    program.startTransfer (2);
    program.sendPackets (song, 0, 98);
    program.exchange (packet (99, song.data()), dataStartRequest);

    program.send (packet (100, song.data()));
    EXPECT_TRUE (program.nothingArrived()) << "packets wait for the new data start reply";

    program.exchange (dataStartReply (2), status (0));
    program.sendPackets (song, 0, 255);
    EXPECT_TRUE (emulator.hasSong (2));
    const auto stored = emulator.getSlot (2);
    EXPECT_TRUE (std::equal (stored.begin(), stored.end(), song.begin()));
}

TEST_F (EmulatorTest, ExtraMessageFaultSendsItBeforeTheNormalAnswer)
{
    const Bytes other { 0xF0, 0x42, 0x23, 0x73, 0x02, 0x01, 0xF7 };
    emulator.addFault (Vt9rEmulator::Fault::extraMessage (5, toMessage (other)));
    program.startTransfer (0);
    program.sendPackets (song, 0, 4);

    program.send (packet (5, song.data()));
    EXPECT_EQ (program.next(), other);
    EXPECT_EQ (program.next(), status (0));
    program.sendPackets (song, 6, 255);
    EXPECT_TRUE (emulator.hasSong (0));
}

TEST_F (EmulatorTest, SendToProgramGoesOutInOrderFromTheEmulatorsThread)
{
    const Bytes first { 0xF0, 0x42, 0x23, 0x73, 0x02, 0x01, 0xF7 };
    const Bytes second { 0xF0, 0x42, 0x23, 0x73, 0x05, 0x00, 0xF7 };

    emulator.sendToProgram (toMessage (first));
    emulator.sendToProgram (toMessage (second));

    EXPECT_EQ (program.next(), first);
    EXPECT_EQ (program.next(), second);
    // The count follows the send, which the program may see first.
    ASSERT_TRUE (emulator.waitUntilIdle (std::chrono::seconds (5)));
    EXPECT_EQ (emulator.getCounters().messagesSent, 2);
}

TEST_F (EmulatorTest, ReplyTimeoutEndsATransferThatStalls)
{
    emulator.setReplyTimeout (50ms);
    program.startTransfer (0);
    program.sendPackets (song, 0, 2);

    EXPECT_EQ (program.next(), status (7));
    program.send (packet (3, song.data()));
    EXPECT_TRUE (program.nothingArrived());

    EXPECT_EQ (program.next (200ms), std::nullopt) << "an idle unit does not time out";
}

// Handling and answering run on the emulator's own thread, never inside the
// program's send, also when the program sends from its input callback.
TEST (EmulatorThreads, HandlesAndAnswersOnItsOwnThread)
{
    midi::InProcessMidiSystem system;
    Vt9rEmulator emulator (system);
    std::mutex idsMutex;
    std::set<std::thread::id> emulatorThreads;
    emulator.setObserver ([&] (const juce::String&) {
        const std::lock_guard<std::mutex> sl (idsMutex);
        emulatorThreads.insert (std::this_thread::get_id());
    });

    struct Program : juce::MidiInputCallback
    {
        std::unique_ptr<midi::MidiOutputPort> output;
        std::atomic<int> answers { 0 };
        std::thread::id deliveryThread;

        void handleIncomingMidiMessage (juce::MidiInput*, const juce::MidiMessage&) override
        {
            deliveryThread = std::this_thread::get_id();

            // Answer the unit from inside the callback, as the program does.
            if (answers + 1 < 50)
                output->sendMessageNow (toMessage (updateRequest));

            ++answers;
        }
    } callback;

    callback.output = system.openOutput (emulator.getOutputIdentifier());
    auto input = system.openInput (emulator.getInputIdentifier(), callback);
    input->start();

    testing::finishWithin ("a ping-pong of 50 answers", [&] {
        callback.output->sendMessageNow (toMessage (updateRequest));

        while (callback.answers < 50)
            std::this_thread::sleep_for (1ms);
    });

    input->stop();
    ASSERT_TRUE (emulator.waitUntilIdle (hangLimit));
    const std::lock_guard<std::mutex> sl (idsMutex);
    EXPECT_EQ (emulatorThreads.size(), 1u);
    EXPECT_EQ (emulatorThreads.count (std::this_thread::get_id()), 0u);
    EXPECT_EQ (emulatorThreads.count (callback.deliveryThread), 0u);
    EXPECT_EQ (emulator.getCounters().updateRequests, 50);
}

//==============================================================================
TEST (EmulatorTiming, WireTimeIsTenBitsPerByteAt31250Baud)
{
    struct Case { const char* message; int bytes; long long microseconds; };
    const Case cases[] = {
        { "status", 7, 2240 },
        { "attach", 9, 2880 },
        { "data start reply", 10, 3200 },
        { "data packet", 83, 26560 },
        { "nothing", 0, 0 },
    };

    for (auto& c : cases)
        EXPECT_EQ (Vt9rEmulator::wireTime (c.bytes).count(), c.microseconds) << c.message;

    static_assert (Vt9rEmulator::wireTime (83).count() * 256 == 6799360, "a whole song's packets: 6.8 s on the wire");
}

// The cable model delays each answer by the bytes both ways; immediate answers
// have no such floor. Only the lower bound is checked: it is the model, not speed.
TEST (EmulatorTiming, CableModelAnswersNoSoonerThanTheBytesTakeBothWays)
{
    midi::InProcessMidiSystem system;
    Vt9rEmulator emulator (system);
    ProgramDouble program (system, emulator);
    const auto song = makeSong();

    emulator.setTiming (Vt9rEmulator::Timing::midiCable);
    program.startTransfer (0);

    const auto sent = std::chrono::steady_clock::now();
    program.send (packet (0, song.data()));
    ASSERT_EQ (program.next(), status (0));
    const auto took = std::chrono::steady_clock::now() - sent;

    EXPECT_GE (took, Vt9rEmulator::wireTime (83) + Vt9rEmulator::wireTime (7));
}

TEST (EmulatorLifetime, DestroyingTheEmulatorMidTransferUnplugsItPromptly)
{
    midi::InProcessMidiSystem system;
    auto emulator = std::make_unique<Vt9rEmulator> (system);
    ProgramDouble program (system, *emulator);
    const auto song = makeSong();

    emulator->setTiming (Vt9rEmulator::Timing::midiCable);
    program.startTransfer (0);

    for (int n = 0; n < 5; ++n)
        program.send (packet (n, song.data())); // queued, each waiting on the cable

    testing::finishWithin ("destroying the emulator", [&] { emulator.reset(); });

    EXPECT_TRUE (system.getInputDevices().isEmpty());
    EXPECT_TRUE (system.getOutputDevices().isEmpty());
    program.send (packet (5, song.data())); // the open port now carries nothing
}

TEST (EmulatorChecksums, SongLengthAndCrcOfKnownData)
{
    const juce::uint8 check[] = { '1', '2', '3', '4', '5', '6', '7', '8', '9' };
    EXPECT_EQ (Vt9rEmulator::crc32 (check, 9), 0xCBF43926u) << "the CRC-32 check value";
    EXPECT_EQ (Vt9rEmulator::crc32 (check, 0), 0u);

    const juce::uint8 tail[] = { 0x10, 0xFF, 0x20, 0xFF, 0xFF };
    EXPECT_EQ (Vt9rEmulator::songLength (tail, 5), 3);
    EXPECT_EQ (Vt9rEmulator::songLength (tail, 2), 1);
    const juce::uint8 allFill[] = { 0xFF, 0xFF };
    EXPECT_EQ (Vt9rEmulator::songLength (allFill, 2), 0);
}

TEST (EmulatedMidiSystem, OffersTheEmulatorAsItsOnlyDevicesAndReportsToTheObserver)
{
    std::mutex linesMutex;
    juce::StringArray lines;
    EmulatedMidiSystem system ([&] (const juce::String& line) {
        const std::lock_guard<std::mutex> sl (linesMutex);
        lines.add (line);
    });

    const auto inputs = system.getInputDevices();
    const auto outputs = system.getOutputDevices();
    ASSERT_EQ (inputs.size(), 1);
    ASSERT_EQ (outputs.size(), 1);
    EXPECT_EQ (inputs[0].name, "VT9R Emulator");
    EXPECT_EQ (outputs[0].name, "VT9R Emulator");
    EXPECT_EQ (inputs[0].identifier, system.getEmulator().getInputIdentifier());

    auto output = system.openOutput (outputs[0].identifier);
    ASSERT_NE (output, nullptr);
    output->sendMessageNow (toMessage (attach));
    ASSERT_TRUE (system.getEmulator().waitUntilIdle (hangLimit));

    const std::lock_guard<std::mutex> sl (linesMutex);
    EXPECT_EQ (lines, juce::StringArray ({ "attach message received" }));
}

} // namespace
} // namespace tunewright::emulator
