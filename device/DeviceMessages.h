// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "song/PacketImage.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <array>
#include <cstddef>
#include <cstdint>

// The SysEx messages exchanged with the VT9R. Builders return message bodies
// (no F0/F7); toSysEx() wraps a body into the message that goes on the wire.
namespace tunewright::device
{

// A DataPacket body is one packet of the packet image, byte for byte.
using song::packetCount;
using song::packetSize;

// A body that lives elsewhere (a packet of the packet image), so sending it copies nothing extra.
struct BodyView
{
    const std::uint8_t* data;
    int size;
};

std::array<std::uint8_t, 7> attachMessage();
std::array<std::uint8_t, 5> updateRequest();

// slot: 0 for "SONG 01" to 2 for "SONG 03". The caller guarantees the range;
// the byte is masked to 7 bits so a bad slot can never corrupt the SysEx framing.
std::array<std::uint8_t, 5> songSelectReply (int slot);
std::array<std::uint8_t, 8> dataStartReply (int slot);

// Packet n of the packet image (packetCount packets of packetSize bytes, packet n at
// packetSize * n), sent unchanged. packetNumber must be 0 to 255.
BodyView dataPacket (const std::uint8_t* packetImage, int packetNumber);

juce::MidiMessage toSysEx (BodyView body);

template <std::size_t N>
juce::MidiMessage toSysEx (const std::array<std::uint8_t, N>& body)
{
    return toSysEx (BodyView { body.data(), static_cast<int> (N) });
}

enum class MessageKind
{
    notDeviceMessage,
    songSelectRequest,
    dataStartRequest,
    deviceStatus,
    otherDeviceMessage
};

struct Classification
{
    MessageKind kind = MessageKind::notDeviceMessage;
    std::uint8_t statusCode = 0; // meaningful for deviceStatus only

    bool operator== (const Classification& other) const
    {
        return kind == other.kind && statusCode == other.statusCode;
    }
    bool operator!= (const Classification& other) const { return ! (*this == other); }
};

// Recognises a received message. Never reads past its end: a SysEx message too
// short to hold the bytes looked at (e.g. one cut off before F7) is not a device message.
Classification classifyMessage (const juce::MidiMessage& message);

// The text a DeviceStatus code puts into the status box; empty for the codes that clear it.
const char* deviceStatusText (int code);

// The text shown after a DeviceStatus 0, chosen by the number of packets sent so far.
const char* progressText (int packetsSent);

} // namespace tunewright::device
