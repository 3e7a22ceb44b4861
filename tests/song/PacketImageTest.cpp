// SPDX-License-Identifier: GPL-3.0-or-later
#include "song/PacketImage.h"
#include "SmfFixtures.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>

namespace tunewright::song
{
namespace
{
using namespace fixtures;

struct Packed
{
    SongImage image {};
    PacketImage packets {};
    int32_t packetsSent = 0;
    int32_t checksum = 0;

    void pack() { buildPacketImage (image, packets, { packetsSent, checksum }); }
    Bytes packet (int n) const { return Bytes (packetAt (packets, n), packetAt (packets, n) + packetSize); }
};

// Rebuilds the 64 song bytes of a packet from its groups, read by their offsets.
Bytes unpack (const Bytes& packet)
{
    Bytes song;
    for (int g = 0; g < 10; ++g)
    {
        const int at = 6 + 8 * g;
        const int size = g < 9 ? 7 : 1;
        for (int k = 0; k < size; ++k)
            song.push_back (uint8_t (packet[size_t (at + 1 + k)] | (((packet[size_t (at)] >> k) & 1) << 7)));
    }
    return song;
}

int sumOfGroups (const Bytes& packet)
{
    int sum = 0;
    for (size_t i = 6; i <= 79; ++i)
        sum += packet[i];
    return sum % 128;
}

Bytes packetHead (int n)
{
    return { 0x42, 0x23, 0x73, 0x06, uint8_t (n >= 128 ? 1 : 0), uint8_t (n & 0x7F) };
}

TEST (PacketImage, LayoutOfKnownPackets)
{
    Bytes ramp;
    for (int i = 0; i < 64; ++i)
        ramp.push_back (uint8_t (i));

    Bytes rampPacket = packetHead (0);
    for (int g = 0; g < 9; ++g)
        rampPacket = rampPacket + Bytes { 0x00 } + Bytes (ramp.begin() + 7 * g, ramp.begin() + 7 * g + 7);
    rampPacket = rampPacket + Bytes { 0x00, 0x3F, 0x60 };

    Bytes groupWithHighBits = Bytes (64, 0x00);
    const Bytes firstGroup { 0x80, 0x01, 0x02, 0x03, 0x04, 0x05, 0x86 };
    std::copy (firstGroup.begin(), firstGroup.end(), groupWithHighBits.begin());

    Bytes lastByteHigh (64, 0x00);
    lastByteHigh[63] = 0xC0;

    struct Case
    {
        const char* name;
        int packet;
        Bytes songBytes;
        Bytes expected;
    };
    const Case cases[] = {
        { "filler only", 3, Bytes (64, 0xFF),
          packetHead (3) + repeat ({ 0x7F }, 72) + Bytes { 0x01, 0x7F, 0x38 } },
        { "zeros", 5, Bytes (64, 0x00), packetHead (5) + Bytes (74, 0x00) + Bytes { 0x00 } },
        { "00 to 3F as packet 0", 0, ramp, rampPacket },
        { "top bits of a group, first to bit 0", 9, groupWithHighBits,
          packetHead (9) + Bytes { 0x41, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06 } + Bytes (66, 0x00)
              + Bytes { uint8_t ((0x41 + 21) % 128) } },
        { "64th byte C0", 127, lastByteHigh, packetHead (127) + Bytes (72, 0x00) + Bytes { 0x01, 0x40, 0x41 } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto p = std::make_unique<Packed>();
        std::copy (c.songBytes.begin(), c.songBytes.end(), p->image.begin() + 64 * c.packet);
        p->pack();
        EXPECT_EQ (hex (p->packet (c.packet)), hex (c.expected));
    }
}

TEST (PacketImage, PacketNumbers)
{
    auto p = std::make_unique<Packed>();
    p->pack();

    struct Case
    {
        int n;
        uint8_t high, low;
    };
    const Case cases[] = { { 0, 0, 0 }, { 127, 0, 0x7F }, { 128, 1, 0 }, { 255, 1, 0x7F } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.n);
        EXPECT_EQ (p->packet (c.n)[4], c.high);
        EXPECT_EQ (p->packet (c.n)[5], c.low);
    }
}

// Any song image: every byte below 0x80, checksums right, and the groups
// give back exactly the first 16384 song bytes; nothing after them counts.
TEST (PacketImage, CarriesTheFirst16KExactly)
{
    std::mt19937 random (7);
    auto p = std::make_unique<Packed>();
    for (auto& b : p->image)
        b = uint8_t (random());
    p->pack();

    auto q = std::make_unique<Packed>();
    q->image = p->image;
    std::fill (q->image.begin() + packedSongBytes, q->image.end(), uint8_t { 0x5A });
    q->pack();
    EXPECT_TRUE (p->packets == q->packets) << "bytes after 16384 changed the packets";

    for (int n = 0; n < packetCount; ++n)
    {
        SCOPED_TRACE (n);
        const Bytes packet = p->packet (n);
        EXPECT_TRUE (std::all_of (packet.begin(), packet.end(), [] (uint8_t b) { return b < 0x80; }));
        EXPECT_EQ (Bytes (packet.begin(), packet.begin() + 6), packetHead (n));
        EXPECT_EQ (packet[80], sumOfGroups (packet));
        EXPECT_EQ (unpack (packet), Bytes (p->image.begin() + 64 * n, p->image.begin() + 64 * n + 64));
    }
}

TEST (PacketImage, LeavesPacketsSentAt256)
{
    for (int32_t before : { 0, 17, 255, 256, -5 })
    {
        SCOPED_TRACE (before);
        auto p = std::make_unique<Packed>();
        p->packetsSent = before;
        p->pack();
        EXPECT_EQ (p->packetsSent, 256);
    }
}

} // namespace
} // namespace tunewright::song
