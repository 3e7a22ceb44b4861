// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SongConverter.h"

#include <array>
#include <cstdint>

namespace tunewright::song
{

constexpr int packetCount = 256;
constexpr int packetSize = 81;                          // the body of one DataPacket message
constexpr int packetImageSize = packetCount * packetSize;
constexpr int packedSongBytes = 16384;                  // 256 packets of 64 song bytes
constexpr int songBytesPerPacket = 64;

using PacketImage = std::array<uint8_t, packetImageSize>;

// The transfer's counters, which belong to whoever runs the transfer. The packer
// uses packetsSent as its packet number and leaves it at 256, so that a load
// during a transfer ends that transfer's sending.
struct PacketCounters
{
    int32_t& packetsSent;
    int32_t& checksum;
};

// Cuts the first 16384 bytes of the song image into 256 packets of 81 bytes,
// every byte below 0x80. Reads nothing past those 16384 bytes; no allocation.
void buildPacketImage (const SongImage& songImage, PacketImage& packetImage, PacketCounters counters) noexcept;

// Packet n, 81 bytes.
inline const uint8_t* packetAt (const PacketImage& packetImage, int n) noexcept
{
    return packetImage.data() + packetSize * n;
}

} // namespace tunewright::song
