// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes as a song file: load, convert and pack must never crash or read
// outside the file, and a song that loads must be one the device can take.
#include "song/SongStore.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{
using namespace tunewright::song;

class MemorySource : public SongSource
{
public:
    MemorySource (const uint8_t* d, int64_t n) : data (d), size (n) {}
    int64_t length() override { return size; }
    int64_t read (uint8_t* destination, int64_t count) override
    {
        const int64_t n = count < size - position ? count : size - position;
        std::memcpy (destination, data + position, static_cast<size_t> (n));
        position += n;
        return n;
    }

private:
    const uint8_t* data;
    int64_t size, position = 0;
};

void check (bool condition)
{
    if (! condition)
        std::abort();
}

// Kept across inputs, as the program keeps them across loads: leftovers of the
// previous input stay in the source buffer, and the running status carries.
struct Program
{
    SongStore store;
    int32_t packetsSent = 0;
    int32_t checksum = 0;
    PacketImage packetsBefore {};
    SongConverter direct;
    SongImage directImage {};
};

Program& program()
{
    static auto* p = new Program();
    return *p;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size);

extern "C" int LLVMFuzzerTestOneInput (const uint8_t* data, size_t size)
{
    // Exactly the file's length on the heap, so any read past its end is caught.
    const auto file = std::make_unique<uint8_t[]> (size);
    if (size > 0)
        std::memcpy (file.get(), data, size);

    auto& p = program();
    p.packetsBefore = p.store.packetImage;
    const int32_t sentBefore = p.packetsSent;
    const uint8_t statusBefore = p.store.converter.runningStatus;

    MemorySource source (file.get(), static_cast<int64_t> (size));
    const auto outcome = loadSong (p.store, source, { p.packetsSent, p.checksum });

    if (size >= static_cast<size_t> (sourceBufferSize))
    {
        check (outcome.kind == LoadOutcome::TooLarge);
        check (p.store.packetImage == p.packetsBefore && p.packetsSent == sentBefore);
        return 0;
    }

    check (outcome.kind == LoadOutcome::ConversionRan);

    // The same conversion straight from the exact-size copy must agree: the
    // store's buffer may hold leftovers past the file, which must not count.
    p.direct.runningStatus = statusBefore;
    std::memset (p.directImage.data(), 0xFF, songImageFillSize);
    const auto direct = p.direct.convert (file.get(), static_cast<int> (size), p.directImage);
    check (direct == outcome.result);
    check (p.direct.writePos == p.store.converter.writePos);
    check (p.direct.runningStatus == p.store.converter.runningStatus);
    check (std::memcmp (p.directImage.data(), p.store.songImage.data(), songImageFillSize) == 0);

    if (! outcome.succeeded())
    {
        check (p.store.packetImage == p.packetsBefore && p.packetsSent == sentBefore);
        return 0;
    }

    const int content = p.store.converter.writePos;
    check (content >= songHeaderSize && content <= maxSongContent);
    check (std::memcmp (p.store.songImage.data(), file.get(), songHeaderSize) == 0);
    for (int i = content; i < songImageFillSize; ++i)
        check (p.store.songImage[static_cast<size_t> (i)] == 0xFF);

    check (p.packetsSent == packetCount);

    for (int n = 0; n < packetCount; ++n)
    {
        const uint8_t* packet = packetAt (p.store.packetImage, n);
        int sum = 0;
        for (int i = 0; i < packetSize; ++i)
            check (packet[i] < 0x80);
        for (int i = 6; i < 80; ++i)
            sum += packet[i];
        check (packet[80] == sum % 128);
        check (packet[4] == (n >= 128 ? 1 : 0) && packet[5] == (n & 0x7F));
    }

    return 0;
}
