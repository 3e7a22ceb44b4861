// SPDX-License-Identifier: GPL-3.0-or-later
#include "PacketImage.h"

namespace tunewright::song
{

void buildPacketImage (const SongImage& songImage, PacketImage& packetImage, PacketCounters counters) noexcept
{
    auto& number = counters.packetsSent;
    auto& checksum = counters.checksum;
    const uint8_t* in = songImage.data();
    uint8_t* out = packetImage.data();

    for (number = 0; number < packetCount; ++number)
    {
        *out++ = 0x42;
        *out++ = 0x23;
        *out++ = 0x73;
        *out++ = 0x06;
        *out++ = static_cast<uint8_t> (number >= 128 ? 1 : 0);
        *out++ = static_cast<uint8_t> (number & 0x7F);

        checksum = 0;

        // Nine groups of seven bytes and a last one of a single byte, each led by
        // a byte that holds the group's top bits, bit k for its k-th byte.
        for (int first = 0; first < songBytesPerPacket; first += 7)
        {
            uint8_t* highBits = out++;
            int bits = 0;
            const int groupSize = songBytesPerPacket - first < 7 ? songBytesPerPacket - first : 7;

            for (int k = 0; k < groupSize; ++k)
            {
                const uint8_t b = *in++;
                const uint8_t low = b & 0x7F;
                *out++ = low;
                checksum += low;
                bits |= (b >> 7) << k;
            }

            *highBits = static_cast<uint8_t> (bits);
            checksum += bits;
        }

        *out++ = static_cast<uint8_t> (checksum & 0x7F);
    }
}

} // namespace tunewright::song
