// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>

namespace tunewright::song
{

// Buffer sizes the program keeps for its whole run.
constexpr int sourceBufferSize = 24576;      // a file must be shorter than this to be loaded
constexpr int songImageSize = 24576;         // room for the longest output of any loadable file
constexpr int songImageFillSize = 0x5100;    // 20736 bytes set to 0xFF before every conversion
constexpr int maxSongContent = 16383;        // the device keeps at most this much
constexpr int songHeaderSize = 22;           // "MThd" chunk plus the "MTrk" chunk header
constexpr int maxTrackLength = 20479;
constexpr int minDivision = 48;              // the device counts 48 ticks per quarter note

using SongImage = std::array<uint8_t, songImageSize>;

enum ConvertResult : int
{
    Converted = 0,
    NotSmf = 1,
    FormatNotSupported = 2,
    SongTooLarge = 3,
    BadDeltaTime = 4,
    NoTrackChunk = 5,
    Truncated = 6,
    DivisionTooSmall = 7
};

// Turns a format-0 Standard MIDI File into the song image the device takes:
// the file's 22 leading bytes, then its track re-timed to 48 ticks per quarter.
// Reads only the bytes the file supplied and never writes past the image.
// No allocation; one instance lives as long as the program, because the
// running status carries over from one conversion to the next.
class SongConverter
{
public:
    // Converts source[0, loadedLength) into songImage. The caller fills the
    // first songImageFillSize bytes of the image with 0xFF beforehand.
    ConvertResult convert (const uint8_t* source, int loadedLength, SongImage& songImage) noexcept;

    // The steps of convert, public so each can be exercised on its own.
    // They work on the buffers given to the last attach or convert.
    void attach (const uint8_t* source, int loadedLength, SongImage& songImage) noexcept;
    ConvertResult checkHeader() noexcept;
    ConvertResult convertTrack() noexcept;
    int readVarLen() noexcept;             // the value, deltaTooLong or deltaTruncated
    void writeVarLen (int value) noexcept;
    ConvertResult copyEvent() noexcept;    // Converted or Truncated

    static constexpr int deltaTooLong = -1;
    static constexpr int deltaTruncated = -2;

    int readPos = 0;
    int writePos = 0;                      // after a conversion: the content length
    int ticksFactor = 0;
    uint8_t runningStatus = 0;             // 0: none
    bool endOfTrack = false;

private:
    bool available (int count) const noexcept { return count <= length - readPos; }
    uint8_t read() noexcept { return src[readPos++]; }
    void write (uint8_t byte) noexcept;
    void copyBytes (int count) noexcept;

    const uint8_t* src = nullptr;
    int length = 0;
    uint8_t* image = nullptr;
};

} // namespace tunewright::song
