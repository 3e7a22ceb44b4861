// SPDX-License-Identifier: GPL-3.0-or-later
// Small Standard MIDI Files built in code, and a converter run that reads from
// a heap block of exactly the file's length, so a sanitizer build catches any
// read past the file.
#pragma once

#include "song/SongConverter.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tunewright::song::fixtures
{

using Bytes = std::vector<uint8_t>;

inline Bytes operator+ (Bytes a, const Bytes& b)
{
    a.insert (a.end(), b.begin(), b.end());
    return a;
}

inline Bytes repeat (const Bytes& part, int times)
{
    Bytes out;
    for (int i = 0; i < times; ++i)
        out = out + part;
    return out;
}

inline Bytes firstBytes (const Bytes& b, size_t n)
{
    return Bytes (b.begin(), b.begin() + long (n));
}

inline Bytes withByte (Bytes b, size_t index, uint8_t value)
{
    b.at (index) = value;
    return b;
}

inline Bytes be16 (int v) { return { uint8_t (v >> 8), uint8_t (v) }; }
inline Bytes be32 (long v) { return { uint8_t (v >> 24), uint8_t (v >> 16), uint8_t (v >> 8), uint8_t (v) }; }

// "MThd", length 6, format, one track, division.
inline Bytes headerChunk (int division, int format = 0)
{
    return Bytes { 'M', 'T', 'h', 'd' } + be32 (6) + be16 (format) + be16 (1) + be16 (division);
}

inline Bytes trackChunkHeader (long length)
{
    return Bytes { 'M', 'T', 'r', 'k' } + be32 (length);
}

// A format-0 file whose track chunk length is the length of the given events.
inline Bytes smf (const Bytes& events, int division = 48)
{
    return headerChunk (division) + trackChunkHeader (long (events.size())) + events;
}

// Events that convert to themselves at division 48 and set no running status:
// text meta events, padded so the whole is exactly `size` bytes (size >= 4).
inline Bytes fillerEvents (int size)
{
    Bytes out;
    int left = size;

    while (left > 0)
    {
        // A meta event is 4 to 259 bytes here; never leave a remainder below 4.
        const int chunk = left <= 259 ? left : (left - 259 >= 4 ? 259 : left - 4);
        out = out + Bytes { 0x00, 0xFF, 0x01, uint8_t (chunk - 4) } + Bytes (size_t (chunk - 4), 'x');
        left -= chunk;
    }

    return out;
}

struct Conversion
{
    ConvertResult result;
    Bytes events;       // what the converter wrote after the 22 header bytes
    SongImage image;
};

// One conversion as the loading flow runs it: 0xFF fill first.
inline Conversion convertBytes (SongConverter& converter, const Bytes& file)
{
    auto exact = std::make_unique<uint8_t[]> (file.size());
    std::copy (file.begin(), file.end(), exact.get());

    Conversion out;
    std::fill_n (out.image.begin(), songImageFillSize, uint8_t { 0xFF });
    out.result = converter.convert (exact.get(), int (file.size()), out.image);

    const int end = std::min (converter.writePos, songImageSize);
    if (end > songHeaderSize)
        out.events.assign (out.image.begin() + songHeaderSize, out.image.begin() + end);

    return out;
}

inline Conversion convertBytes (const Bytes& file)
{
    SongConverter fresh;
    return convertBytes (fresh, file);
}

inline std::string hex (const Bytes& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (auto b : bytes)
    {
        if (! s.empty())
            s += ' ';
        s += digits[b >> 4];
        s += digits[b & 15];
    }
    return s;
}

} // namespace tunewright::song::fixtures
