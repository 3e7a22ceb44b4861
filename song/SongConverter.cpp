// SPDX-License-Identifier: GPL-3.0-or-later
#include "SongConverter.h"

namespace tunewright::song
{

void SongConverter::attach (const uint8_t* source, int loadedLength, SongImage& songImage) noexcept
{
    src = source;
    length = (source != nullptr && loadedLength > 0) ? loadedLength : 0;
    image = songImage.data();
}

ConvertResult SongConverter::convert (const uint8_t* source, int loadedLength, SongImage& songImage) noexcept
{
    attach (source, loadedLength, songImage);

    if (const auto r = checkHeader(); r != Converted)
        return r;

    if (const auto r = convertTrack(); r != Converted)
        return r;

    // Tested last, so a bad or cut-off event is reported as such even in an oversized song.
    return writePos > maxSongContent ? SongTooLarge : Converted;
}

ConvertResult SongConverter::checkHeader() noexcept
{
    readPos = 0;

    const auto at = [this] (int i) { return src[i]; };

    if (length < 4 || at (0) != 'M' || at (1) != 'T' || at (2) != 'h' || at (3) != 'd')
        return NotSmf;

    if (length < 10)
        return Truncated;

    if (at (9) != 0)
        return FormatNotSupported;

    if (length < 14)
        return Truncated;

    const int division = at (12) * 256 + at (13);
    ticksFactor = division / minDivision;

    if (length < 18)
        return Truncated;

    if (at (14) != 'M' || at (15) != 'T' || at (16) != 'r' || at (17) != 'k')
        return NoTrackChunk;

    if (length < 20)
        return Truncated;

    if (at (18) != 0 || at (19) != 0)
        return SongTooLarge;

    if (length < songHeaderSize)
        return Truncated;

    if (at (20) * 256 + at (21) > maxTrackLength)
        return SongTooLarge;

    // Below 48 the factor is 0 and the re-timing would divide by it.
    if (ticksFactor == 0)
        return DivisionTooSmall;

    for (int i = 0; i < songHeaderSize; ++i)
        image[i] = at (i);

    readPos = songHeaderSize;
    return Converted;
}

ConvertResult SongConverter::convertTrack() noexcept
{
    writePos = readPos;
    int carry = 0;
    endOfTrack = false;

    // Every pass consumes at least the delta-time's first byte, so the loop ends.
    while (readPos < length)
    {
        const int delta = readVarLen();

        if (delta == deltaTooLong)
            return BadDeltaTime;

        if (delta == deltaTruncated)
            return Truncated;

        // The carry keeps every event at its source time / factor, with no drift.
        const int ticks = delta + carry;
        writeVarLen (ticks / ticksFactor);
        carry = ticks % ticksFactor;

        if (copyEvent() != Converted)
            return Truncated;

        if (endOfTrack)
            break;
    }

    return Converted;
}

int SongConverter::readVarLen() noexcept
{
    int value = 0;

    for (int i = 0; i < 3; ++i)
    {
        if (! available (1))
            return deltaTruncated;

        const uint8_t b = read();
        value = value * 128 + (b & 0x7F);

        if (b < 0x80)
            return value;
    }

    return deltaTooLong;
}

void SongConverter::writeVarLen (int value) noexcept
{
    if (value > 16383)
        write (static_cast<uint8_t> (0x80 | ((value >> 14) & 0x7F)));

    if (value > 127)
        write (static_cast<uint8_t> (0x80 | ((value >> 7) & 0x7F)));

    write (static_cast<uint8_t> (value & 0x7F));
}

ConvertResult SongConverter::copyEvent() noexcept
{
    if (! available (1))
        return Truncated;

    uint8_t status = runningStatus;
    const bool ownStatus = src[readPos] >= 0x80;

    if (ownStatus)
        status = read();

    if (status == 0xFF)
    {
        if (! available (1))
            return Truncated;

        const uint8_t type = read();

        // The device wants a zero length byte here, whatever the file has after 2F.
        if (type == 0x2F)
        {
            write (0xFF);
            write (0x2F);
            write (0x00);
            endOfTrack = true;
            return Converted;
        }

        if (! available (1) || ! available (1 + src[readPos]))
            return Truncated;

        const int bodyLength = src[readPos];
        write (0xFF);
        write (type);
        copyBytes (1 + bodyLength);
        return Converted;
    }

    if (status == 0xF0)
    {
        if (! available (1) || ! available (1 + src[readPos]))
            return Truncated;

        write (0xF0);
        copyBytes (1 + src[readPos]);
        return Converted;
    }

    if (status >= 0x80 && status < 0xF0)
    {
        const int kind = status & 0xF0;
        const int dataBytes = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;

        if (! available (dataBytes))
            return Truncated;

        if (ownStatus)
            write (status);

        copyBytes (dataBytes);
        runningStatus = status;
        return Converted;
    }

    // F1 to FE: a lone status byte. With no usable running status, a data byte
    // stays where it is and is read as the next delta-time.
    if (ownStatus)
    {
        write (status);
        runningStatus = status;
    }

    return Converted;
}

void SongConverter::write (uint8_t byte) noexcept
{
    // Only a source longer than any loadable file could reach the end; such
    // content is over the size limit anyway, so counting it is enough.
    if (writePos >= 0 && writePos < songImageSize)
        image[writePos] = byte;

    ++writePos;
}

void SongConverter::copyBytes (int count) noexcept
{
    for (int i = 0; i < count; ++i)
        write (read());
}

} // namespace tunewright::song
