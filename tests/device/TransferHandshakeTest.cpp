// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/TransferHandshake.h"
#include "MessageBytes.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace tunewright::device
{
namespace
{
using test::Bytes;
using test::messageOf;

constexpr int imageSize = 256 * 81;

// Every packet different, so a wrong or repeated packet shows.
const std::vector<std::uint8_t>& testPacketImage()
{
    static const std::vector<std::uint8_t> image = [] {
        std::vector<std::uint8_t> bytes (imageSize);
        for (int n = 0; n < 256; ++n)
        {
            auto* p = bytes.data() + 81 * n;
            const std::uint8_t header[] = { 0x42, 0x23, 0x73, 0x06, static_cast<std::uint8_t> (n >> 7),
                                            static_cast<std::uint8_t> (n & 0x7f) };
            std::copy (std::begin (header), std::end (header), p);
            for (int i = 6; i < 81; ++i)
                p[i] = static_cast<std::uint8_t> ((n * 5 + i) & 0x7f);
        }
        return bytes;
    }();
    return image;
}

std::string hex (const std::uint8_t* data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < size; ++i)
    {
        if (i > 0)
            s += ' ';
        s += digits[data[i] >> 4];
        s += digits[data[i] & 0xf];
    }
    return s;
}

// Events as readable strings; blanks in status texts stay visible between the brackets.
std::string sent (const Bytes& wire) { return "send " + hex (wire.data(), wire.size()); }
std::string status (const std::string& text) { return "status [" + text + "]"; }
const std::string pause10 = "pause 10";

std::string sentPacket (int n)
{
    Bytes wire { 0xf0 };
    const auto* p = testPacketImage().data() + 81 * n;
    wire.insert (wire.end(), p, p + 81);
    wire.push_back (0xf7);
    return sent (wire);
}

class FakeHost : public HandshakeHost
{
public:
    bool outputOpen = true;
    int slotItemId = 0;
    std::vector<std::string> events;

    bool send (const juce::MidiMessage& message) override
    {
        if (! outputOpen)
            return false;
        events.push_back ("send " + hex (message.getRawData(), static_cast<size_t> (message.getRawDataSize())));
        return true;
    }
    void setStatusText (const juce::String& text) override { events.push_back (status (text.toStdString())); }
    int chosenSlotItemId() override { return slotItemId; }
    const std::uint8_t* packetImage() override { return testPacketImage().data(); }
    void pause (int milliseconds) override { events.push_back ("pause " + std::to_string (milliseconds)); }

    std::vector<std::string> take() { return std::exchange (events, {}); }
};

const Bytes songSelectRequest { 0xf0, 0x42, 0x23, 0x73, 0x01, 0xf7 };
const Bytes dataStartRequest { 0xf0, 0x42, 0x23, 0x73, 0x03, 0xf7 };
Bytes deviceStatus (std::uint8_t code) { return { 0xf0, 0x42, 0x23, 0x73, 0x05, code, 0xf7 }; }
const Bytes acknowledge = deviceStatus (0);

const std::string updateRequestSent = sent ({ 0xf0, 0x42, 0x23, 0x73, 0x00, 0x20, 0xf7 });
std::string songSelectReplySent (std::uint8_t slot) { return sent ({ 0xf0, 0x42, 0x23, 0x73, 0x02, slot, 0xf7 }); }
std::string dataStartReplySent (std::uint8_t slot)
{
    return sent ({ 0xf0, 0x42, 0x23, 0x73, 0x04, 0x00, slot, 0x7f, 0x7f, 0xf7 });
}

const std::string selectSong = status ("Error:Select SONG(1..3) ");
const std::string noOutput = status ("Error : No MIDI Out Device");

//==============================================================================
// One input against one state: the table of transitions.

struct TransitionCase
{
    const char* name;
    TransferState before;
    int slotItemId;
    bool outputOpen;
    std::optional<Bytes> message; // none: "Update" pressed
    std::vector<std::string> events;
    TransferState after;
};

std::ostream& operator<< (std::ostream& os, const TransitionCase& c) { return os << c.name; }

class Transition : public ::testing::TestWithParam<TransitionCase>
{
};

TEST_P (Transition, FromState)
{
    const auto& c = GetParam();
    FakeHost host;
    host.slotItemId = c.slotItemId;
    host.outputOpen = c.outputOpen;
    TransferState state = c.before;
    TransferHandshake handshake (host, state);

    if (c.message)
        handshake.handleIncoming (messageOf (*c.message));
    else
        handshake.updatePressed();

    EXPECT_EQ (host.events, c.events);
    EXPECT_EQ (state.transmitting, c.after.transmitting);
    EXPECT_EQ (state.packetsSent, c.after.packetsSent);
}

constexpr TransferState idleAtStart { false, 0 };
constexpr TransferState idleAt41 { false, 41 };
constexpr TransferState idleAfterLoad { false, 256 };
constexpr TransferState sendingAt0 { true, 0 };
constexpr TransferState sendingAt40 { true, 40 };
constexpr TransferState finished { true, 256 };
const std::optional<Bytes> pressUpdate;

const TransitionCase transitionCases[] = {
    // "Update"
    { "UpdateWithoutSlot", idleAtStart, 0, true, pressUpdate, { selectSong }, idleAtStart },
    { "UpdateSendsOnlyTheRequest", idleAfterLoad, 2, true, pressUpdate, { updateRequestSent }, idleAfterLoad },
    { "UpdateDuringTransferChangesNothing", sendingAt40, 1, true, pressUpdate, { updateRequestSent }, sendingAt40 },
    { "UpdateWithoutOutput", idleAfterLoad, 3, false, pressUpdate, { noOutput }, idleAfterLoad },
    { "UpdateWithoutSlotOrOutput", idleAfterLoad, 0, false, pressUpdate, { selectSong }, idleAfterLoad },

    // SongSelectRequest: the reply carries item id - 1
    { "SongSelectSlot1", idleAfterLoad, 1, true, songSelectRequest, { songSelectReplySent (0) }, idleAfterLoad },
    { "SongSelectSlot2", sendingAt40, 2, true, songSelectRequest, { songSelectReplySent (1) }, sendingAt40 },
    { "SongSelectSlot3", finished, 3, true, songSelectRequest, { songSelectReplySent (2) }, finished },
    { "SongSelectWithoutSlot", idleAfterLoad, 0, true, songSelectRequest, { selectSong }, idleAfterLoad },
    { "SongSelectWithUnknownItemId", idleAfterLoad, 4, true, songSelectRequest, { selectSong }, idleAfterLoad },
    { "SongSelectWithoutOutput", idleAfterLoad, 1, false, songSelectRequest, { noOutput }, idleAfterLoad },

    // DataStartRequest: from any state to Sending at 0, box cleared first
    { "DataStartFromIdle", idleAfterLoad, 1, true, dataStartRequest, { status (""), dataStartReplySent (0) }, sendingAt0 },
    { "DataStartAfterError", idleAt41, 3, true, dataStartRequest, { status (""), dataStartReplySent (2) }, sendingAt0 },
    { "DataStartMidTransfer", sendingAt40, 2, true, dataStartRequest, { status (""), dataStartReplySent (1) }, sendingAt0 },
    { "DataStartWhenFinished", finished, 1, true, dataStartRequest, { status (""), dataStartReplySent (0) }, sendingAt0 },
    { "DataStartWithoutSlot", idleAt41, 0, true, dataStartRequest, { selectSong }, idleAt41 },
    { "DataStartWithoutSlotMidTransfer", sendingAt40, 0, true, dataStartRequest, { selectSong }, sendingAt40 },
    { "DataStartWithoutOutput", idleAt41, 1, false, dataStartRequest, { status (""), noOutput }, idleAt41 },

    // DeviceStatus 0: pause, then a packet only in Sending, then the progress text
    { "AckSendsFirstPacket", sendingAt0, 1, true, acknowledge, { pause10, sentPacket (0), status ("Transmit...") }, { true, 1 } },
    { "AckSendsPacket8", { true, 8 }, 1, true, acknowledge, { pause10, sentPacket (8), status ("Transmit ..") }, { true, 9 } },
    { "AckSendsPacket128", { true, 128 }, 1, true, acknowledge, { pause10, sentPacket (128), status ("Transmit. .") }, { true, 129 } },
    { "AckSendsLastPacket", { true, 255 }, 1, true, acknowledge, { pause10, sentPacket (255), status ("Completed!") }, finished },
    { "AckNeedsNoSlot", sendingAt40, 0, true, acknowledge, { pause10, sentPacket (40), status ("Transmit...") }, { true, 41 } },
    { "AckWhenFinished", finished, 1, true, acknowledge, { pause10, status ("Completed!") }, finished },
    { "AckAtStart", idleAtStart, 1, true, acknowledge, { pause10, status ("Transmit ..") }, idleAtStart },
    { "AckAfterError", idleAt41, 1, true, acknowledge, { pause10, status ("Transmit...") }, idleAt41 },
    { "AckAfterLoad", idleAfterLoad, 1, true, acknowledge, { pause10, status ("Completed!") }, idleAfterLoad },
    { "AckWithoutOutput", sendingAt40, 1, false, acknowledge, { pause10, noOutput }, sendingAt40 },
    { "AckWithoutOutputWhenIdle", idleAt41, 1, false, acknowledge, { pause10, status ("Transmit...") }, idleAt41 },

    // Any other code: Idle, packetsSent kept, the code's text or an empty box
    { "ChecksumError", { true, 41 }, 1, true, deviceStatus (6), { status ("CheckSum Error!") }, idleAt41 },
    { "ProductError", sendingAt0, 1, true, deviceStatus (1), { status ("ProdID Error!") }, idleAtStart },
    { "TimeoutWhenFinished", finished, 1, true, deviceStatus (7), { status ("Timeout Error!") }, idleAfterLoad },
    { "AbortWhenIdle", idleAt41, 1, true, deviceStatus (10), { status ("Aborted by User.") }, idleAt41 },
    { "ErrorNeedsNoOutput", sendingAt40, 1, false, deviceStatus (5), { status ("Packet No. Error!") }, { false, 40 } },
    { "Code2ClearsBox", sendingAt40, 1, true, deviceStatus (2), { status ("") }, { false, 40 } },
    { "Code8ClearsBox", sendingAt40, 1, true, deviceStatus (8), { status ("") }, { false, 40 } },
    { "Code11ClearsBox", sendingAt40, 1, true, deviceStatus (11), { status ("") }, { false, 40 } },
    { "Code127ClearsBox", sendingAt40, 1, true, deviceStatus (0x7f), { status ("") }, { false, 40 } },
    { "StatusF7ClearsBox", sendingAt40, 1, true, { { 0xf0, 0x42, 0x23, 0x73, 0x05, 0xf7 } }, { status ("") }, { false, 40 } },

    // Other device messages are shown, nothing else changes
    { "OtherDeviceMessage", sendingAt40, 1, true, { { 0xf0, 0x42, 0x23, 0x73, 0x02, 0x01, 0xf7 } }, { status ("42 23 73 02 01") }, sendingAt40 },
    { "OtherFunctionF7", finished, 0, false, { { 0xf0, 0x42, 0x23, 0x73, 0xf7 } }, { status ("42 23 73") }, finished },

    // Not device messages leave no trace
    { "AttachMessageEchoed", sendingAt40, 1, true, { { 0xf0, 0x42, 0x30, 0x73, 0x20, 0x4e, 0x40, 0x00, 0xf7 } }, {}, sendingAt40 },
    { "NoteOn", sendingAt40, 1, true, { { 0x90, 0x3c, 0x64 } }, {}, sendingAt40 },
    { "AckCutBeforeCode", sendingAt40, 1, true, { { 0xf0, 0x42, 0x23, 0x73, 0x05 } }, {}, sendingAt40 },
};

INSTANTIATE_TEST_SUITE_P (TransferHandshake, Transition, ::testing::ValuesIn (transitionCases),
                          [] (const auto& param) { return std::string (param.param.name); });

//==============================================================================
// Sequences

struct Session
{
    FakeHost host;
    TransferState state;
    TransferHandshake handshake { host, state };

    void receive (const Bytes& bytes) { handshake.handleIncoming (messageOf (bytes)); }
};

TEST (TransferSequence, WholeUpdateSendsEveryPacketOnceInOrder)
{
    Session s;
    s.state = idleAfterLoad;
    s.host.slotItemId = 2;

    s.handshake.updatePressed();
    s.receive (songSelectRequest);
    s.receive (dataStartRequest);
    EXPECT_EQ (s.host.take(), (std::vector<std::string> { updateRequestSent, songSelectReplySent (1), status (""),
                                                           dataStartReplySent (1) }));

    const char* const firstNine[] = { "Transmit...", "Transmit...", "Transmit. .", "Transmit...", "Transmit...",
                                      "Transmit.. ", "Transmit...", "Transmit...", "Transmit .." };
    std::string lastText;
    for (int n = 0; n < 256; ++n)
    {
        SCOPED_TRACE ("acknowledgement " + std::to_string (n + 1));
        s.receive (acknowledge);
        const auto events = s.host.take();
        ASSERT_EQ (events.size(), 3u);
        EXPECT_EQ (events[0], pause10);
        EXPECT_EQ (events[1], sentPacket (n));
        lastText = events[2];
        if (n < 9)
        {
            EXPECT_EQ (events[2], status (firstNine[n]));
        }
    }
    EXPECT_EQ (lastText, status ("Completed!"));
    EXPECT_TRUE (s.state.transmitting);
    EXPECT_EQ (s.state.packetsSent, 256);

    // The 256th packet already showed "Completed!"; a 257th acknowledgement sends nothing.
    s.receive (acknowledge);
    EXPECT_EQ (s.host.take(), (std::vector<std::string> { pause10, status ("Completed!") }));
}

TEST (TransferSequence, LastPacketShowsCompleted)
{
    Session s;
    s.state = { true, 254 };
    s.receive (acknowledge);
    s.receive (acknowledge);
    EXPECT_EQ (s.host.take(), (std::vector<std::string> { pause10, sentPacket (254), status ("Transmit. ."), pause10,
                                                           sentPacket (255), status ("Completed!") }));
}

TEST (TransferSequence, ErrorStopsUntilNewDataStartRequest)
{
    Session s;
    s.host.slotItemId = 1;
    s.receive (dataStartRequest);
    for (int n = 0; n <= 40; ++n)
        s.receive (acknowledge);
    s.host.take();
    ASSERT_EQ (s.state.packetsSent, 41);

    s.receive (deviceStatus (6));
    s.receive (acknowledge);
    s.receive (acknowledge);
    EXPECT_EQ (s.host.take(), (std::vector<std::string> { status ("CheckSum Error!"), pause10, status ("Transmit..."),
                                                           pause10, status ("Transmit...") }));

    s.receive (dataStartRequest);
    s.receive (acknowledge);
    EXPECT_EQ (s.host.take(), (std::vector<std::string> { status (""), dataStartReplySent (0), pause10, sentPacket (0),
                                                           status ("Transmit...") }));
}

TEST (TransferSequence, SecondDataStartRequestRestartsAtPacketZero)
{
    Session s;
    s.host.slotItemId = 3;
    s.receive (dataStartRequest);
    for (int n = 0; n < 100; ++n)
        s.receive (acknowledge);
    s.host.take();

    s.receive (dataStartRequest);
    s.receive (acknowledge);
    s.receive (acknowledge);
    EXPECT_EQ (s.host.take(), (std::vector<std::string> { status (""), dataStartReplySent (2), pause10, sentPacket (0),
                                                           status ("Transmit..."), pause10, sentPacket (1),
                                                           status ("Transmit...") }));
}

TEST (TransferSequence, LoadDuringTransferEndsItsSending)
{
    Session s;
    s.host.slotItemId = 1;
    s.receive (dataStartRequest);
    for (int n = 0; n < 10; ++n)
        s.receive (acknowledge);
    s.host.take();

    s.state.packetsSent = 256; // what the packer leaves behind

    s.receive (acknowledge);
    EXPECT_EQ (s.host.take(), (std::vector<std::string> { pause10, status ("Completed!") }));
    EXPECT_TRUE (s.state.transmitting);
}

TEST (TransferSequence, RepliesCarryTheSlotChosenWhenEachIsBuilt)
{
    Session s;
    s.host.slotItemId = 1;
    s.handshake.updatePressed();
    s.host.slotItemId = 2;
    s.receive (songSelectRequest);
    s.host.slotItemId = 3;
    s.receive (dataStartRequest);
    EXPECT_EQ (s.host.take(), (std::vector<std::string> { updateRequestSent, songSelectReplySent (1), status (""),
                                                           dataStartReplySent (2) }));
}

TEST (TransferSequence, PacketThatFoundNoOutputGoesOutOnceAnOutputIsBack)
{
    Session s;
    s.host.slotItemId = 1;
    s.receive (dataStartRequest);
    s.receive (acknowledge);
    s.host.take();

    s.host.outputOpen = false;
    s.receive (acknowledge);
    s.host.outputOpen = true;
    s.receive (acknowledge);
    EXPECT_EQ (s.host.take(), (std::vector<std::string> { pause10, noOutput, pause10, sentPacket (1),
                                                           status ("Transmit...") }));
    EXPECT_EQ (s.state.packetsSent, 2);
}

TEST (TransferSequence, DeviceAskingBeforeAnySlotGetsNoReply)
{
    Session s;
    s.receive (songSelectRequest);
    s.receive (dataStartRequest);
    s.receive (acknowledge);
    EXPECT_EQ (s.host.take(), (std::vector<std::string> { selectSong, selectSong, pause10, status ("Transmit ..") }));
    EXPECT_FALSE (s.state.transmitting);
    EXPECT_EQ (s.state.packetsSent, 0);
}

} // namespace
} // namespace tunewright::device
