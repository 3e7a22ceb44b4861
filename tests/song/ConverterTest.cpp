// SPDX-License-Identifier: GPL-3.0-or-later
#include "song/SongConverter.h"
#include "SmfFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

namespace tunewright::song
{
namespace
{
using namespace fixtures;

const Bytes endOfTrack { 0x00, 0xFF, 0x2F, 0x00 };

bool fillIntact (const SongImage& image, int from)
{
    return std::all_of (image.begin() + from, image.begin() + songImageFillSize, [] (uint8_t b) { return b == 0xFF; });
}

TEST (ConverterHeader, ResultsAndTheirOrder)
{
    const Bytes good = smf (endOfTrack);
    const Bytes format1 = headerChunk (48, 1) + trackChunkHeader (4) + endOfTrack;
    const Bytes longHeader = Bytes { 'M', 'T', 'h', 'd' } + be32 (7) + be16 (0) + be16 (1) + be16 (48) + Bytes { 0 }
                             + trackChunkHeader (4) + endOfTrack;

    struct Case
    {
        const char* name;
        Bytes file;
        ConvertResult expected;
    };

    const Case cases[] = {
        { "empty file", {}, NotSmf },
        { "three bytes", { 'M', 'T', 'h' }, NotSmf },
        { "not MThd, also format 1", withByte (format1, 3, 'D'), NotSmf },
        { "MThd alone", { 'M', 'T', 'h', 'd' }, Truncated },
        { "ends before the format's low byte", firstBytes (good, 9), Truncated },
        { "10-byte format-1 header", firstBytes (format1, 10), FormatNotSupported },
        { "format 1", format1, FormatNotSupported },
        { "format 2", withByte (good, 9, 2), FormatNotSupported },
        { "format 1 without MTrk", withByte (format1, 14, 'X'), FormatNotSupported },
        { "format bytes 01 00 pass as format 0", withByte (good, 8, 1), Converted },
        { "13-byte format-0 header", firstBytes (good, 13), Truncated },
        { "ends before MTrk", firstBytes (good, 14), Truncated },
        { "ends inside MTrk", firstBytes (good, 17), Truncated },
        { "header chunk of 7 bytes moves the track", longHeader, NoTrackChunk },
        { "MTrx", withByte (good, 17, 'x'), NoTrackChunk },
        { "ends before track length", firstBytes (good, 19), Truncated },
        { "track length byte 18 set", withByte (good, 18, 1), SongTooLarge },
        { "track length byte 19 set", withByte (good, 19, 1), SongTooLarge },
        { "ends inside track length", firstBytes (good, 21), Truncated },
        { "track length 20479", headerChunk (48) + trackChunkHeader (20479) + endOfTrack, Converted },
        { "track length 20480", headerChunk (48) + trackChunkHeader (20480) + endOfTrack, SongTooLarge },
        { "division 47", smf (endOfTrack, 47), DivisionTooSmall },
        { "division 0", smf (endOfTrack, 0), DivisionTooSmall },
        { "division 48", smf (endOfTrack, 48), Converted },
        { "division 0 without MTrk", withByte (smf (endOfTrack, 0), 14, 'X'), NoTrackChunk },
        { "division 0 with track length 20480", headerChunk (0) + trackChunkHeader (20480), SongTooLarge },
        { "division 0, 21 bytes", firstBytes (smf (endOfTrack, 0), 21), Truncated },
        { "division with top bit set", smf (endOfTrack, 0x8000), Converted },
        { "header only", firstBytes (good, 22), Converted },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto out = convertBytes (c.file);
        EXPECT_EQ (out.result, c.expected);

        if (c.expected == Converted)
        {
            EXPECT_TRUE (std::equal (c.file.begin(), c.file.begin() + songHeaderSize, out.image.begin()))
                << "the 22 leading bytes are copied unchanged";
        }
        else
        {
            EXPECT_TRUE (fillIntact (out.image, 0)) << "a header failure writes nothing";
        }
    }
}

TEST (ConverterHeader, TicksFactorIsDivisionOver48)
{
    struct Case
    {
        int division, factor;
    };
    const Case cases[] = { { 48, 1 }, { 95, 1 }, { 96, 2 }, { 100, 2 }, { 480, 10 }, { 0xFFFF, 1365 } };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.division);
        SongConverter converter;
        EXPECT_EQ (convertBytes (converter, smf (endOfTrack, c.division)).result, Converted);
        EXPECT_EQ (converter.ticksFactor, c.factor);
    }
}

TEST (ConverterHeader, HeaderOnlyFileIsTheHeaderThenFill)
{
    const Bytes file = firstBytes (smf (endOfTrack, 480), 22);
    SongConverter converter;
    const auto out = convertBytes (converter, file);

    EXPECT_EQ (out.result, Converted);
    EXPECT_EQ (converter.writePos, 22);
    EXPECT_TRUE (std::equal (file.begin(), file.end(), out.image.begin()));
    EXPECT_TRUE (fillIntact (out.image, 22));
}

TEST (ConverterVarLen, ReadsOneToThreeBytes)
{
    struct Case
    {
        const char* name;
        Bytes bytes;
        int value, readPos;
    };
    const Case cases[] = {
        { "0", { 0x00 }, 0, 1 },
        { "127", { 0x7F }, 127, 1 },
        { "128", { 0x81, 0x00 }, 128, 2 },
        { "16383", { 0xFF, 0x7F }, 16383, 2 },
        { "16384", { 0x81, 0x80, 0x00 }, 16384, 3 },
        { "largest", { 0xFF, 0xFF, 0x7F }, 0x1FFFFF, 3 },
        { "padded 0 in two", { 0x80, 0x00 }, 0, 2 },
        { "padded 0 in three", { 0x80, 0x80, 0x00 }, 0, 3 },
        { "four bytes", { 0x80, 0x80, 0x80, 0x00 }, SongConverter::deltaTooLong, 3 },
        { "three continuation bytes, nothing after", { 0x81, 0x80, 0x80 }, SongConverter::deltaTooLong, 3 },
        { "nothing", {}, SongConverter::deltaTruncated, 0 },
        { "cut after one", { 0x81 }, SongConverter::deltaTruncated, 1 },
        { "cut after two", { 0x81, 0x80 }, SongConverter::deltaTruncated, 2 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        auto exact = std::make_unique<uint8_t[]> (c.bytes.size());
        std::copy (c.bytes.begin(), c.bytes.end(), exact.get());
        SongImage image {};
        SongConverter converter;
        converter.attach (exact.get(), int (c.bytes.size()), image);
        converter.readPos = 0;

        EXPECT_EQ (converter.readVarLen(), c.value);
        EXPECT_EQ (converter.readPos, c.readPos);
    }
}

TEST (ConverterVarLen, WritesTheShortestForm)
{
    struct Case
    {
        int value;
        Bytes bytes;
    };
    const Case cases[] = {
        { 0, { 0x00 } },
        { 1, { 0x01 } },
        { 127, { 0x7F } },
        { 128, { 0x81, 0x00 } },
        { 16383, { 0xFF, 0x7F } },
        { 16384, { 0x81, 0x80, 0x00 } },
        { 32767, { 0x81, 0xFF, 0x7F } },
        { 0x1FFFFF, { 0xFF, 0xFF, 0x7F } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.value);
        SongImage image {};
        SongConverter converter;
        converter.attach (nullptr, 0, image);
        converter.writePos = 100;
        converter.writeVarLen (c.value);

        EXPECT_EQ (converter.writePos, 100 + int (c.bytes.size()));
        EXPECT_EQ (hex (Bytes (image.begin() + 100, image.begin() + converter.writePos)), hex (c.bytes));
    }
}

struct TrackCase
{
    const char* name;
    int division;
    Bytes events;
    ConvertResult expected;
    std::optional<Bytes> written; // the events as written; unchecked when empty
};

void checkTracks (const TrackCase* begin, const TrackCase* end)
{
    for (auto c = begin; c != end; ++c)
    {
        SCOPED_TRACE (c->name);
        const auto out = convertBytes (smf (c->events, c->division));
        EXPECT_EQ (out.result, c->expected);

        if (c->written)
        {
            EXPECT_EQ (hex (out.events), hex (*c->written));
        }
    }
}

TEST (ConverterTrack, DeltaTimesAreRescaledWithCarry)
{
    const TrackCase cases[] = {
        { "division 480: 5, 5, 5 become 0, 1, 0", 480,
          { 0x05, 0x90, 0x3C, 0x64, 0x05, 0x80, 0x3C, 0x40, 0x05, 0x90, 0x3C, 0x64 }, Converted,
          Bytes { 0x00, 0x90, 0x3C, 0x64, 0x01, 0x80, 0x3C, 0x40, 0x00, 0x90, 0x3C, 0x64 } },
        { "division 480: 960 becomes 96", 480, { 0x87, 0x40, 0x90, 0x3C, 0x64 }, Converted,
          Bytes { 0x60, 0x90, 0x3C, 0x64 } },
        { "division 96 halves, carrying odd ticks", 96,
          { 0x03, 0x90, 0x3C, 0x64, 0x03, 0x3E, 0x64, 0x01, 0x40, 0x64, 0x01, 0x41, 0x64 }, Converted,
          Bytes { 0x01, 0x90, 0x3C, 0x64, 0x02, 0x3E, 0x64, 0x00, 0x40, 0x64, 0x01, 0x41, 0x64 } },
        { "division 100 counts as 96", 100, { 0x0A, 0xC0, 0x05 }, Converted, Bytes { 0x05, 0xC0, 0x05 } },
        { "division 480: largest delta shrinks to three bytes", 480, { 0xFF, 0xFF, 0x7F, 0xC0, 0x05 }, Converted,
          Bytes { 0x8C, 0xE6, 0x33, 0xC0, 0x05 } },
        { "division 48: 32767 stays 81 FF 7F", 48, { 0x81, 0xFF, 0x7F, 0xC0, 0x05 }, Converted,
          Bytes { 0x81, 0xFF, 0x7F, 0xC0, 0x05 } },
        { "division 48: 16384 stays 81 80 00", 48, { 0x81, 0x80, 0x00, 0xC0, 0x05 }, Converted,
          Bytes { 0x81, 0x80, 0x00, 0xC0, 0x05 } },
        { "padded zero becomes one byte", 48, { 0x80, 0x80, 0x00, 0xC0, 0x05, 0x80, 0x00, 0x06 }, Converted,
          Bytes { 0x00, 0xC0, 0x05, 0x00, 0x06 } },
        { "four-byte delta keeps what came before", 48, { 0x00, 0xC0, 0x05, 0x80, 0x80, 0x80, 0x00, 0x06 },
          BadDeltaTime, Bytes { 0x00, 0xC0, 0x05 } },
        { "delta from 0x200000 up", 48, { 0x81, 0x80, 0x80, 0x00, 0xC0, 0x05 }, BadDeltaTime, std::nullopt },
        { "three continuation bytes at the end", 48, { 0x00, 0xC0, 0x05, 0x80, 0x80, 0x80 }, BadDeltaTime,
          std::nullopt },
    };
    checkTracks (std::begin (cases), std::end (cases));
}

TEST (ConverterTrack, EventsAreCopiedAsTheyStand)
{
    const Bytes body129 (129, 'a');
    const Bytes sysex255 (255, 0x11);

    const TrackCase cases[] = {
        { "running status is kept, not expanded", 48, { 0x00, 0x90, 0x3C, 0x64, 0x00, 0x3E, 0x64 }, Converted,
          Bytes { 0x00, 0x90, 0x3C, 0x64, 0x00, 0x3E, 0x64 } },
        { "meta event keeps the running status", 48,
          { 0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x01, 0x00, 0x00, 0x3E, 0x64 }, Converted,
          Bytes { 0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x01, 0x00, 0x00, 0x3E, 0x64 } },
        { "sysex keeps the running status", 48,
          { 0x00, 0x90, 0x3C, 0x64, 0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7, 0x00, 0x3E, 0x64 }, Converted,
          Bytes { 0x00, 0x90, 0x3C, 0x64, 0x00, 0xF0, 0x03, 0x7E, 0x7F, 0xF7, 0x00, 0x3E, 0x64 } },
        { "Cn and Dn carry one data byte", 96, { 0x00, 0xC0, 0x05, 0x02, 0x06, 0x02, 0xD1, 0x40, 0x02, 0x41 },
          Converted, Bytes { 0x00, 0xC0, 0x05, 0x01, 0x06, 0x01, 0xD1, 0x40, 0x01, 0x41 } },
        { "8n An Bn En carry two", 96,
          { 0x02, 0x80, 0x3C, 0x40, 0x02, 0xA0, 0x3C, 0x10, 0x02, 0xB0, 0x07, 0x64, 0x02, 0xE0, 0x00, 0x40, 0x02,
            0x7F, 0x7F },
          Converted,
          Bytes { 0x01, 0x80, 0x3C, 0x40, 0x01, 0xA0, 0x3C, 0x10, 0x01, 0xB0, 0x07, 0x64, 0x01, 0xE0, 0x00, 0x40,
                  0x01, 0x7F, 0x7F } },
        { "data bytes with the top bit are copied", 96, { 0x00, 0x90, 0xBC, 0xE4, 0x02, 0xC0, 0x85 }, Converted,
          Bytes { 0x00, 0x90, 0xBC, 0xE4, 0x01, 0xC0, 0x85 } },
        { "meta of length 0", 48, { 0x00, 0xFF, 0x01, 0x00 }, Converted, Bytes { 0x00, 0xFF, 0x01, 0x00 } },
        { "meta length byte 0x81 counts 129", 48, Bytes { 0x00, 0xFF, 0x01, 0x81 } + body129 + Bytes { 0x00, 0xC0, 0x05 },
          Converted, Bytes { 0x00, 0xFF, 0x01, 0x81 } + body129 + Bytes { 0x00, 0xC0, 0x05 } },
        { "meta body with top bits", 48, { 0x00, 0xFF, 0x7F, 0x02, 0xF0, 0xFF }, Converted,
          Bytes { 0x00, 0xFF, 0x7F, 0x02, 0xF0, 0xFF } },
        { "sysex of 255 bytes", 48, Bytes { 0x00, 0xF0, 0xFF } + sysex255, Converted,
          Bytes { 0x00, 0xF0, 0xFF } + sysex255 },
        { "system status bytes stand alone", 48, { 0x00, 0xF8, 0x00, 0xF6, 0x00, 0xF7 }, Converted,
          Bytes { 0x00, 0xF8, 0x00, 0xF6, 0x00, 0xF7 } },
        { "after a system status a data byte is the next delta-time", 96,
          { 0x00, 0xF8, 0x10, 0x20, 0x00, 0xFF, 0x2F, 0x00 }, Converted,
          Bytes { 0x00, 0xF8, 0x08, 0x10, 0x00, 0xFF, 0x2F, 0x00 } },
        { "with no running status a data byte is the next delta-time", 96,
          { 0x00, 0x3C, 0x64, 0x00, 0xFF, 0x2F, 0x00 }, Converted, Bytes { 0x00, 0x1E, 0x32, 0x00, 0xFF, 0x2F, 0x00 } },
    };
    checkTracks (std::begin (cases), std::end (cases));
}

TEST (ConverterTrack, EndOfTrack)
{
    const TrackCase cases[] = {
        { "FF 2F 05 is written FF 2F 00", 48, { 0x00, 0xC0, 0x05, 0x00, 0xFF, 0x2F, 0x05 }, Converted,
          Bytes { 0x00, 0xC0, 0x05, 0x00, 0xFF, 0x2F, 0x00 } },
        { "what follows is ignored, chunks included", 48,
          Bytes { 0x00, 0xFF, 0x2F, 0x00, 0x00, 0x90, 0x3C, 0x64 } + trackChunkHeader (4) + Bytes { 0x80, 0x80, 0x80 },
          Converted, Bytes { 0x00, 0xFF, 0x2F, 0x00 } },
        { "FF 2F as the last two bytes is complete", 48, { 0x00, 0xC0, 0x05, 0x00, 0xFF, 0x2F }, Converted,
          Bytes { 0x00, 0xC0, 0x05, 0x00, 0xFF, 0x2F, 0x00 } },
        { "no end of track: converted to the end of the file", 48, { 0x00, 0xC0, 0x05, 0x00, 0xFF, 0x01, 0x00 },
          Converted, Bytes { 0x00, 0xC0, 0x05, 0x00, 0xFF, 0x01, 0x00 } },
    };
    checkTracks (std::begin (cases), std::end (cases));
}

TEST (ConverterTrack, FileEndingInsideAnEventIsTruncated)
{
    const Bytes big = fillerEvents (16400);

    const TrackCase cases[] = {
        { "delta cut after one byte", 48, { 0x00, 0xC0, 0x05, 0x81 }, Truncated, std::nullopt },
        { "delta cut after two bytes", 48, { 0x00, 0xC0, 0x05, 0x81, 0x80 }, Truncated, std::nullopt },
        { "delta then nothing", 48, { 0x00, 0xC0, 0x05, 0x00 }, Truncated, std::nullopt },
        { "status then nothing", 48, { 0x00, 0x90 }, Truncated, std::nullopt },
        { "note cut after its key", 48, { 0x00, 0x90, 0x3C }, Truncated, std::nullopt },
        { "running-status note cut", 48, { 0x00, 0x90, 0x3C, 0x64, 0x00, 0x3E }, Truncated, std::nullopt },
        { "program change without its byte", 48, { 0x00, 0xC0 }, Truncated, std::nullopt },
        { "meta without type", 48, { 0x00, 0xFF }, Truncated, std::nullopt },
        { "meta without length", 48, { 0x00, 0xFF, 0x01 }, Truncated, std::nullopt },
        { "meta body short", 48, { 0x00, 0xFF, 0x01, 0x03, 0x41, 0x42 }, Truncated, std::nullopt },
        { "sysex without length", 48, { 0x00, 0xF0 }, Truncated, std::nullopt },
        { "sysex body short", 48, { 0x00, 0xF0, 0x03, 0x7E, 0x7F }, Truncated, std::nullopt },
        { "complete event at the very end", 48, { 0x00, 0x90, 0x3C, 0x64 }, Converted,
          Bytes { 0x00, 0x90, 0x3C, 0x64 } },
        { "cut is found before the size test", 48, big + Bytes { 0x00, 0x90 }, Truncated, std::nullopt },
        { "bad delta is found before the size test", 48, big + Bytes { 0x80, 0x80, 0x80, 0x00 }, BadDeltaTime,
          std::nullopt },
    };
    checkTracks (std::begin (cases), std::end (cases));
}

TEST (ConverterTrack, TrackLengthFieldIsNotABound)
{
    const Bytes events { 0x00, 0x90, 0x3C, 0x64, 0x00, 0x80, 0x3C, 0x40 };
    const Bytes file = headerChunk (48) + trackChunkHeader (4) + events;
    const auto out = convertBytes (file);

    EXPECT_EQ (out.result, Converted);
    EXPECT_EQ (hex (out.events), hex (events));
    EXPECT_EQ (hex (Bytes (out.image.begin() + 18, out.image.begin() + 22)), "00 00 00 04") << "kept as in the file";
}

TEST (ConverterTrack, DivisionIsKeptInTheImage)
{
    const auto out = convertBytes (smf ({ 0x87, 0x40, 0xC0, 0x05 }, 480));
    ASSERT_EQ (out.result, Converted);
    EXPECT_EQ (out.image[12], 0x01);
    EXPECT_EQ (out.image[13], 0xE0);
}

TEST (ConverterSize, ContentLimit)
{
    const auto tail = Bytes { 0x00, 0xFF, 0x2F };

    struct Case
    {
        const char* name;
        Bytes file;
        ConvertResult expected;
        int contentLength;
    };
    const Case cases[] = {
        { "content of 16383", smf (fillerEvents (16383 - 22)), Converted, 16383 },
        { "content of 16384", smf (fillerEvents (16384 - 22)), SongTooLarge, 16384 },
        { "end of track gains a byte, still fits", smf (fillerEvents (16383 - 22 - 4) + tail), Converted, 16383 },
        { "end of track gains the byte that is too many", smf (fillerEvents (16383 - 22 - 3) + tail), SongTooLarge,
          16384 },
        // The longest content a loadable file can give (its length field is not a bound)
        // must still land inside the image.
        { "24575-byte file ending in FF 2F",
          headerChunk (48) + trackChunkHeader (100) + fillerEvents (24575 - 22 - 3) + tail, SongTooLarge, 24576 },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        SongConverter converter;
        const auto out = convertBytes (converter, c.file);
        EXPECT_EQ (out.result, c.expected);
        EXPECT_EQ (converter.writePos, c.contentLength);

        if (c.expected == Converted)
        {
            EXPECT_TRUE (fillIntact (out.image, c.contentLength));
        }
    }
}

// The converter may see only the loaded bytes: every prefix of a file, converted
// from a buffer that still holds the rest, must give what that prefix gives alone.
TEST (ConverterBounds, BytesPastTheLoadedLengthNeverCount)
{
    const Bytes file = smf ({ 0x00, 0x90, 0x3C, 0x64, 0x81, 0x00, 0x3E, 0x64, 0x00, 0xFF, 0x01, 0x03, 'a', 'b', 'c',
                              0x00, 0xF0, 0x02, 0x7E, 0xF7, 0x00, 0xC0, 0x05, 0x00, 0xFF, 0x2F, 0x00 },
                            96);

    for (size_t n = 0; n <= file.size(); ++n)
    {
        SCOPED_TRACE (n);
        SongConverter alone;
        const auto expected = convertBytes (alone, firstBytes (file, n));

        SongConverter withLeftovers;
        SongImage image {};
        std::fill_n (image.begin(), songImageFillSize, uint8_t { 0xFF });
        const auto result = withLeftovers.convert (file.data(), int (n), image);

        EXPECT_EQ (result, expected.result);
        EXPECT_EQ (withLeftovers.writePos, alone.writePos);
        EXPECT_TRUE (std::equal (image.begin(), image.begin() + songImageFillSize, expected.image.begin()));
        EXPECT_LE (withLeftovers.readPos, int (n));
    }
}

TEST (ConverterRunningStatus, CarriesFromOneConversionToTheNext)
{
    // At division 96 a carried status copies 3E 64; without one they are re-read as delta-times.
    const Bytes second = smf ({ 0x00, 0x3E, 0x64, 0x00, 0xFF, 0x2F, 0x00 }, 96);
    const Bytes copied { 0x00, 0x3E, 0x64, 0x00, 0xFF, 0x2F, 0x00 };
    const Bytes reread { 0x00, 0x1F, 0x32, 0x00, 0xFF, 0x2F, 0x00 };

    struct Case
    {
        const char* name;
        std::vector<Bytes> before;
        Bytes expected;
    };
    const Case cases[] = {
        { "fresh converter has none", {}, reread },
        { "note from the previous file", { smf ({ 0x00, 0x90, 0x3C, 0x64 }) }, copied },
        { "kept through a file that is not an SMF", { smf ({ 0x00, 0x90, 0x3C, 0x64 }), { 'R', 'I', 'F', 'F' } },
          copied },
        { "set by a file that failed later", { smf ({ 0x00, 0x90, 0x3C, 0x64, 0x80, 0x80, 0x80, 0x00 }) }, copied },
        { "meta and sysex leave it", { smf ({ 0x00, 0x90, 0x3C, 0x64, 0x00, 0xFF, 0x01, 0x00, 0x00, 0xF0, 0x00 }) },
          copied },
        { "a system status replaces it", { smf ({ 0x00, 0x90, 0x3C, 0x64, 0x00, 0xF8 }) }, reread },
        { "a later file's channel status replaces it", { smf ({ 0x00, 0x90, 0x3C, 0x64, 0x00, 0xF8 }), smf ({ 0x00, 0xB0, 0x07, 0x64 }) },
          copied },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        SongConverter converter;
        for (const auto& file : c.before)
            convertBytes (converter, file);

        const auto out = convertBytes (converter, second);
        EXPECT_EQ (out.result, Converted);
        EXPECT_EQ (hex (out.events), hex (c.expected));
    }
}

} // namespace
} // namespace tunewright::song
