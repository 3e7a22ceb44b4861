// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DeviceMessages.h"
#include "MessageBytes.h"

#include <gtest/gtest.h>

#include <string>

namespace tunewright::device
{
namespace
{
using test::Bytes;
using test::messageOf;
using test::wireBytes;

TEST (OutgoingMessages, FixedMessagesOnTheWire)
{
    EXPECT_EQ (wireBytes (toSysEx (attachMessage())), (Bytes { 0xf0, 0x42, 0x30, 0x73, 0x20, 0x4e, 0x40, 0x00, 0xf7 }));
    EXPECT_EQ (wireBytes (toSysEx (updateRequest())), (Bytes { 0xf0, 0x42, 0x23, 0x73, 0x00, 0x20, 0xf7 }));
}

TEST (OutgoingMessages, RepliesCarryTheSlot)
{
    struct Case
    {
        int slot;
        Bytes songSelect, dataStart;
    };
    const Case cases[] = {
        { 0, { 0xf0, 0x42, 0x23, 0x73, 0x02, 0x00, 0xf7 }, { 0xf0, 0x42, 0x23, 0x73, 0x04, 0x00, 0x00, 0x7f, 0x7f, 0xf7 } },
        { 1, { 0xf0, 0x42, 0x23, 0x73, 0x02, 0x01, 0xf7 }, { 0xf0, 0x42, 0x23, 0x73, 0x04, 0x00, 0x01, 0x7f, 0x7f, 0xf7 } },
        { 2, { 0xf0, 0x42, 0x23, 0x73, 0x02, 0x02, 0xf7 }, { 0xf0, 0x42, 0x23, 0x73, 0x04, 0x00, 0x02, 0x7f, 0x7f, 0xf7 } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("slot " + std::to_string (c.slot));
        EXPECT_EQ (wireBytes (toSysEx (songSelectReply (c.slot))), c.songSelect);
        EXPECT_EQ (wireBytes (toSysEx (dataStartReply (c.slot))), c.dataStart);
    }
}

TEST (OutgoingMessages, DataPacketIsItsPacketOfTheImageUnchanged)
{
    // Every packet different, so a wrong offset shows.
    std::vector<std::uint8_t> image (packetCount * packetSize);
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t> ((i * 7 + i / packetSize) & 0x7f);

    for (int n : { 0, 1, 127, 128, 255 })
    {
        SCOPED_TRACE ("packet " + std::to_string (n));
        const auto body = dataPacket (image.data(), n);
        EXPECT_EQ (body.data, image.data() + packetSize * n); // no copy on the way

        const auto wire = wireBytes (toSysEx (body));
        ASSERT_EQ (wire.size(), 83u);
        EXPECT_EQ (wire.front(), 0xf0);
        EXPECT_EQ (wire.back(), 0xf7);
        EXPECT_EQ (Bytes (wire.begin() + 1, wire.end() - 1),
                   Bytes (image.begin() + packetSize * n, image.begin() + packetSize * (n + 1)));
    }
}

TEST (OutgoingMessages, DataPacketWireBytes)
{
    // Packet 1 of a song image that is all filler (0xFF), as the packer lays it out.
    std::vector<std::uint8_t> image (packetCount * packetSize, 0);
    const Bytes fillerPacket1 = {
        0x42, 0x23, 0x73, 0x06, 0x00, 0x01,
        0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f,
        0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f,
        0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f,
        0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f,
        0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f, 0x7f,
        0x01, 0x7f, 0x38,
    };
    ASSERT_EQ (fillerPacket1.size(), static_cast<size_t> (packetSize));
    std::copy (fillerPacket1.begin(), fillerPacket1.end(), image.begin() + packetSize);

    Bytes expected { 0xf0 };
    expected.insert (expected.end(), fillerPacket1.begin(), fillerPacket1.end());
    expected.push_back (0xf7);

    EXPECT_EQ (wireBytes (toSysEx (dataPacket (image.data(), 1))), expected);
    EXPECT_EQ (wireBytes (toSysEx (dataPacket (image.data(), 0))).size(), 83u);
}

struct ClassifyCase
{
    const char* name;
    Bytes bytes;
    Classification expected;
};

std::ostream& operator<< (std::ostream& os, const ClassifyCase& c) { return os << c.name; }

class Classify : public ::testing::TestWithParam<ClassifyCase>
{
};

TEST_P (Classify, Message)
{
    const auto& c = GetParam();
    const auto result = classifyMessage (messageOf (c.bytes));
    EXPECT_EQ (static_cast<int> (result.kind), static_cast<int> (c.expected.kind));
    EXPECT_EQ (static_cast<int> (result.statusCode), static_cast<int> (c.expected.statusCode));
}

constexpr auto notDevice = MessageKind::notDeviceMessage;
constexpr auto other = MessageKind::otherDeviceMessage;

const ClassifyCase classifyCases[] = {
    { "SongSelectRequest", { 0xf0, 0x42, 0x23, 0x73, 0x01, 0xf7 }, { MessageKind::songSelectRequest } },
    { "SongSelectRequestWithMoreBytes", { 0xf0, 0x42, 0x23, 0x73, 0x01, 0x55, 0x05, 0x7f, 0xf7 }, { MessageKind::songSelectRequest } },
    { "DataStartRequest", { 0xf0, 0x42, 0x23, 0x73, 0x03, 0xf7 }, { MessageKind::dataStartRequest } },
    { "DataStartRequestWithMoreBytes", { 0xf0, 0x42, 0x23, 0x73, 0x03, 0x00, 0x02, 0xf7 }, { MessageKind::dataStartRequest } },
    { "StatusAcknowledge", { 0xf0, 0x42, 0x23, 0x73, 0x05, 0x00, 0xf7 }, { MessageKind::deviceStatus, 0 } },
    { "StatusTimeout", { 0xf0, 0x42, 0x23, 0x73, 0x05, 0x07, 0xf7 }, { MessageKind::deviceStatus, 7 } },
    { "StatusCodeIsByteFour", { 0xf0, 0x42, 0x23, 0x73, 0x05, 0x7f, 0x01, 0xf7 }, { MessageKind::deviceStatus, 0x7f } },
    { "StatusWithoutCodeTakesF7", { 0xf0, 0x42, 0x23, 0x73, 0x05, 0xf7 }, { MessageKind::deviceStatus, 0xf7 } },
    { "OwnFunctionValueEchoed", { 0xf0, 0x42, 0x23, 0x73, 0x02, 0x01, 0xf7 }, { other } },
    { "UpdateRequestEchoed", { 0xf0, 0x42, 0x23, 0x73, 0x00, 0x20, 0xf7 }, { other } },
    { "FunctionByteIsF7", { 0xf0, 0x42, 0x23, 0x73, 0xf7 }, { other } },
    { "UnknownFunction", { 0xf0, 0x42, 0x23, 0x73, 0x7f, 0x1a, 0xf7 }, { other } },
    { "AttachMessageEchoed", { 0xf0, 0x42, 0x30, 0x73, 0x20, 0x4e, 0x40, 0x00, 0xf7 }, { notDevice } },
    { "OtherManufacturer", { 0xf0, 0x41, 0x23, 0x73, 0x05, 0x00, 0xf7 }, { notDevice } },
    { "OtherProductByteTwo", { 0xf0, 0x42, 0x23, 0x74, 0x05, 0x00, 0xf7 }, { notDevice } },
    { "EmptySysEx", { 0xf0, 0xf7 }, { notDevice } },
    { "NoteOn", { 0x90, 0x3c, 0x64 }, { notDevice } },
    { "ControlChange", { 0xb0, 0x07, 0x64 }, { notDevice } },
    { "ProgramChange", { 0xc0, 0x42 }, { notDevice } },
    { "Clock", { 0xf8 }, { notDevice } },
    { "SignatureWithoutF0", { 0xf7, 0x42, 0x23, 0x73, 0x05, 0x00 }, { notDevice } },
    { "SignatureAsDataBytes", { 0x42, 0x23, 0x73, 0x05, 0x00 }, { notDevice } },
    { "NoBytes", {}, { notDevice } },
    // Cut off before F7: too short for what recognition reads.
    { "OnlyF0", { 0xf0 }, { notDevice } },
    { "CutAfterVendor", { 0xf0, 0x42 }, { notDevice } },
    { "CutAfterSignature", { 0xf0, 0x42, 0x23, 0x73 }, { notDevice } },
    { "StatusCutBeforeCode", { 0xf0, 0x42, 0x23, 0x73, 0x05 }, { notDevice } },
    { "SongSelectCutAfterFunction", { 0xf0, 0x42, 0x23, 0x73, 0x01 }, { MessageKind::songSelectRequest } },
    { "StatusCutAfterCode", { 0xf0, 0x42, 0x23, 0x73, 0x05, 0x06 }, { MessageKind::deviceStatus, 6 } },
};

INSTANTIATE_TEST_SUITE_P (DeviceMessages, Classify, ::testing::ValuesIn (classifyCases),
                          [] (const auto& param) { return std::string (param.param.name); });

TEST (StatusTexts, EveryCode)
{
    const char* const expected[] = { "", "ProdID Error!", "", "Format Error!", "Select SONG No.", "Packet No. Error!",
                                     "CheckSum Error!", "Timeout Error!", "", "Flash Write Error!", "Aborted by User." };

    for (int code = 0; code <= 255; ++code)
    {
        SCOPED_TRACE ("code " + std::to_string (code));
        const std::string text = deviceStatusText (code);
        if (code >= 1 && code <= 10)
        {
            EXPECT_EQ (text, expected[code]);
        }
        else if (code != 0)
        {
            EXPECT_EQ (text, "");
        }
    }
}

TEST (ProgressTexts, NineStepCycleAndCompletion)
{
    struct Case
    {
        int packetsSent;
        const char* text;
    };
    const Case cases[] = {
        { 0, "Transmit .." },   { 1, "Transmit..." },   { 2, "Transmit..." }, { 3, "Transmit. ." },
        { 4, "Transmit..." },   { 5, "Transmit..." },   { 6, "Transmit.. " }, { 7, "Transmit..." },
        { 8, "Transmit..." },   { 9, "Transmit .." },   { 41, "Transmit..." }, { 249, "Transmit.. " },
        { 252, "Transmit .." }, { 255, "Transmit. ." }, { 256, "Completed!" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("packetsSent " + std::to_string (c.packetsSent));
        EXPECT_STREQ (progressText (c.packetsSent), c.text);
    }
}

} // namespace
} // namespace tunewright::device
