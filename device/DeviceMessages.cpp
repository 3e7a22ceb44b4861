// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/DeviceMessages.h"

namespace tunewright::device
{

namespace
{
constexpr std::uint8_t vendor = 0x42, product1 = 0x23, product2 = 0x73;

constexpr std::uint8_t fnUpdateRequest = 0x00, fnSongSelectRequest = 0x01, fnSongSelectReply = 0x02,
                       fnDataStartRequest = 0x03, fnDataStartReply = 0x04, fnDeviceStatus = 0x05;

std::uint8_t slotByte (int slot)
{
    jassert (slot >= 0 && slot <= 2);
    return static_cast<std::uint8_t> (slot & 0x7f);
}
} // namespace

std::array<std::uint8_t, 7> attachMessage()
{
    return { 0x42, 0x30, 0x73, 0x20, 0x4e, 0x40, 0x00 };
}

std::array<std::uint8_t, 5> updateRequest()
{
    return { vendor, product1, product2, fnUpdateRequest, 0x20 };
}

std::array<std::uint8_t, 5> songSelectReply (int slot)
{
    return { vendor, product1, product2, fnSongSelectReply, slotByte (slot) };
}

std::array<std::uint8_t, 8> dataStartReply (int slot)
{
    return { vendor, product1, product2, fnDataStartReply, 0x00, slotByte (slot), 0x7f, 0x7f };
}

BodyView dataPacket (const std::uint8_t* packetImage, int packetNumber)
{
    jassert (packetNumber >= 0 && packetNumber < packetCount);
    return { packetImage + static_cast<std::ptrdiff_t> (packetSize) * packetNumber, packetSize };
}

juce::MidiMessage toSysEx (BodyView body)
{
    return juce::MidiMessage::createSysExMessage (body.data, body.size);
}

Classification classifyMessage (const juce::MidiMessage& message)
{
    const auto* raw = message.getRawData();
    const int size = message.getRawDataSize();

    // Body byte i is raw byte i + 1; one that is missing ends recognition.
    const auto bodyByteIs = [&] (int i, std::uint8_t expected) { return i + 1 < size && raw[i + 1] == expected; };

    if (size < 1 || raw[0] != 0xf0)
        return {};

    if (! bodyByteIs (0, vendor) || ! bodyByteIs (1, product1) || ! bodyByteIs (2, product2))
        return {};

    if (size < 5)
        return {};

    switch (raw[4])
    {
        case fnSongSelectRequest: return { MessageKind::songSelectRequest };
        case fnDataStartRequest:  return { MessageKind::dataStartRequest };
        case fnDeviceStatus:
            if (size < 6)
                return {};
            return { MessageKind::deviceStatus, raw[5] };
        default:                  return { MessageKind::otherDeviceMessage };
    }
}

const char* deviceStatusText (int code)
{
    switch (code)
    {
        case 1:  return "ProdID Error!";
        case 3:  return "Format Error!";
        case 4:  return "Select SONG No.";
        case 5:  return "Packet No. Error!";
        case 6:  return "CheckSum Error!";
        case 7:  return "Timeout Error!";
        case 9:  return "Flash Write Error!";
        case 10: return "Aborted by User.";
        default: return ""; // 2, 8 and 11 to 255 clear the box
    }
}

const char* progressText (int packetsSent)
{
    if (packetsSent == packetCount)
        return "Completed!";

    switch (packetsSent % 9)
    {
        case 0:  return "Transmit ..";
        case 3:  return "Transmit. .";
        case 6:  return "Transmit.. ";
        default: return "Transmit...";
    }
}

} // namespace tunewright::device
