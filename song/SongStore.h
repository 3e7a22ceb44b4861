// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PacketImage.h"
#include "SongConverter.h"

#include <array>
#include <cstdint>

namespace tunewright::song
{

// The buffers the program keeps for its whole run. About 70 KB: hold it in an
// object that lives on the heap or in static storage, not on a small stack.
struct SongStore
{
    std::array<uint8_t, sourceBufferSize> source {};    // not cleared between loads
    int loadedLength = 0;
    SongConverter converter;
    SongImage songImage {};
    PacketImage packetImage {};                         // all zero until the first successful load
};

// Where a song file comes from: a file stream in the program, memory in tests.
class SongSource
{
public:
    virtual ~SongSource() = default;
    virtual int64_t length() = 0;                       // negative when it cannot be told
    virtual int64_t read (uint8_t* destination, int64_t count) = 0;  // bytes read; 0 or less stops
};

struct LoadOutcome
{
    enum Kind
    {
        TooLarge,       // refused for its size: nothing read, nothing changed
        ReadFailed,     // not read in full: nothing converted
        ConversionRan   // result holds the converter's answer
    };

    Kind kind = ConversionRan;
    ConvertResult result = Converted;

    bool succeeded() const noexcept { return kind == ConversionRan && result == Converted; }
    bool passedSizeTest() const noexcept { return kind != TooLarge; }
};

// The size test alone, for a caller that must act before anything is read.
constexpr bool fitsSourceBuffer (int64_t length) noexcept
{
    return length < sourceBufferSize;
}

// The whole load: size test, read into the source buffer, 0xFF fill, convert,
// and on success the packet image. A failed load leaves the packet image and
// the counters as they were. The only allocation-free path the panel and the
// command line share, so both report the same outcome for the same file.
LoadOutcome loadSong (SongStore& store, SongSource& source, PacketCounters counters) noexcept;

// The status box text for an outcome; an unknown result reads "Unknown Error...".
const char* statusText (LoadOutcome outcome) noexcept;
const char* statusText (ConvertResult result) noexcept;

// "Source File Size Over...", the message shown before "Error.." for a refused file.
extern const char* const sizeRefusalMessage;

} // namespace tunewright::song
