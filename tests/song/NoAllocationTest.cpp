// SPDX-License-Identifier: GPL-3.0-or-later
// Shows that loading, converting and packing allocate nothing: every global
// operator new is counted while they run.
#include "song/SongStore.h"
#include "SmfFixtures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace
{
std::atomic<long> allocations { 0 };

void* counted (std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc (size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}

void* countedAligned (std::size_t size, std::align_val_t alignment)
{
    ++allocations;
    const auto a = static_cast<std::size_t> (alignment);
    if (void* p = std::aligned_alloc (a, (size + a - 1) / a * a))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new (std::size_t size) { return counted (size); }
void* operator new[] (std::size_t size) { return counted (size); }
void* operator new (std::size_t size, const std::nothrow_t&) noexcept { ++allocations; return std::malloc (size == 0 ? 1 : size); }
void* operator new[] (std::size_t size, const std::nothrow_t&) noexcept { ++allocations; return std::malloc (size == 0 ? 1 : size); }
void* operator new (std::size_t size, std::align_val_t a) { return countedAligned (size, a); }
void* operator new[] (std::size_t size, std::align_val_t a) { return countedAligned (size, a); }
void operator delete (void* p) noexcept { std::free (p); }
void operator delete[] (void* p) noexcept { std::free (p); }
void operator delete (void* p, std::size_t) noexcept { std::free (p); }
void operator delete[] (void* p, std::size_t) noexcept { std::free (p); }
void operator delete (void* p, std::align_val_t) noexcept { std::free (p); }
void operator delete[] (void* p, std::align_val_t) noexcept { std::free (p); }
void operator delete (void* p, std::size_t, std::align_val_t) noexcept { std::free (p); }
void operator delete[] (void* p, std::size_t, std::align_val_t) noexcept { std::free (p); }

namespace tunewright::song
{
namespace
{
using namespace fixtures;

class FixedSource : public SongSource
{
public:
    FixedSource (const uint8_t* d, int64_t n) : data (d), size (n) {}
    int64_t length() override { return size; }
    int64_t read (uint8_t* destination, int64_t count) override
    {
        const int64_t n = std::min (count, size - position);
        std::memcpy (destination, data + position, size_t (n));
        position += n;
        return n;
    }

private:
    const uint8_t* data;
    int64_t size, position = 0;
};

TEST (NoAllocation, CountingAllocatorSeesNewCalls)
{
    const long before = allocations;
    auto p = std::make_unique<int> (3);
    EXPECT_EQ (allocations - before, 1) << "the counter must see an allocation, or the next test proves nothing";
}

TEST (NoAllocation, LoadConvertAndPack)
{
    const Bytes events = fillerEvents (8000) + repeat ({ 0x83, 0x60, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x3C, 0x00 }, 200)
                         + Bytes { 0x00, 0xFF, 0x2F, 0x00 };
    const Bytes files[] = { smf (events, 480), smf ({ 0x00, 0x90 }), Bytes (sourceBufferSize, 0) };
    auto store = std::make_unique<SongStore>();
    int32_t packetsSent = 0, checksum = 0;

    for (const auto& file : files)
    {
        FixedSource source (file.data(), int64_t (file.size()));
        const long before = allocations;
        const auto outcome = loadSong (*store, source, { packetsSent, checksum });
        EXPECT_EQ (allocations - before, 0) << statusText (outcome);
    }

    FixedSource source (files[0].data(), int64_t (files[0].size()));
    EXPECT_TRUE (loadSong (*store, source, { packetsSent, checksum }).succeeded()) << "the success path was measured";
}

} // namespace
} // namespace tunewright::song
