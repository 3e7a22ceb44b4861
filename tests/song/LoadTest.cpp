// SPDX-License-Identifier: GPL-3.0-or-later
#include "song/SongStore.h"
#include "SmfFixtures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace tunewright::song
{
namespace
{
using namespace fixtures;

// A file in memory that can lie about its length or stop reading early.
class MemorySource : public SongSource
{
public:
    explicit MemorySource (Bytes bytes, std::optional<int64_t> reportedLength = {}, std::optional<int64_t> readable = {})
        : data (std::move (bytes)),
          reported (reportedLength.value_or (int64_t (data.size()))),
          limit (readable.value_or (int64_t (data.size())))
    {
    }

    int64_t length() override { return reported; }

    int64_t read (uint8_t* destination, int64_t count) override
    {
        ++reads;
        const int64_t n = std::min (count, limit - position);
        if (n <= 0)
            return 0;
        std::memcpy (destination, data.data() + position, size_t (n));
        position += n;
        return n;
    }

    int reads = 0;

private:
    Bytes data;
    int64_t reported, limit, position = 0;
};

struct Panel
{
    std::unique_ptr<SongStore> store = std::make_unique<SongStore>();
    int32_t packetsSent = 0;
    int32_t checksum = 0;

    LoadOutcome load (SongSource& source) { return loadSong (*store, source, { packetsSent, checksum }); }

    LoadOutcome load (const Bytes& file)
    {
        MemorySource source (file);
        return load (source);
    }
};

const Bytes goodFile = smf ({ 0x00, 0x90, 0x3C, 0x64, 0x60, 0x80, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00 }, 96);

TEST (LoadSong, PacketImageIsZeroUntilTheFirstSuccess)
{
    Panel panel;
    EXPECT_TRUE (std::all_of (panel.store->packetImage.begin(), panel.store->packetImage.end(),
                              [] (uint8_t b) { return b == 0; }));

    EXPECT_EQ (panel.load (Bytes { 'R', 'I', 'F', 'F' }).result, NotSmf);
    EXPECT_TRUE (std::all_of (panel.store->packetImage.begin(), panel.store->packetImage.end(),
                              [] (uint8_t b) { return b == 0; }));
}

TEST (LoadSong, SuccessRebuildsTheImages)
{
    Panel panel;
    panel.packetsSent = 42;
    const auto outcome = panel.load (goodFile);

    EXPECT_TRUE (outcome.succeeded());
    EXPECT_EQ (panel.packetsSent, 256);
    EXPECT_EQ (panel.store->loadedLength, int (goodFile.size()));
    EXPECT_EQ (panel.store->converter.writePos, int (goodFile.size()));
    EXPECT_EQ (panel.store->songImage[26], 0x30) << "96 ticks at division 96 are 48";

    // Packet 0 carries the image's first 64 bytes; the header bytes have no top bit.
    const uint8_t* packet0 = packetAt (panel.store->packetImage, 0);
    EXPECT_EQ (std::string (packet0 + 7, packet0 + 11), "MThd");
}

TEST (LoadSong, FillHidesTheTailOfALongerEarlierSong)
{
    Panel panel;
    ASSERT_TRUE (panel.load (smf (fillerEvents (5000))).succeeded());
    ASSERT_TRUE (panel.load (goodFile).succeeded());

    const int content = panel.store->converter.writePos;
    EXPECT_TRUE (std::all_of (panel.store->songImage.begin() + content, panel.store->songImage.begin() + songImageFillSize,
                              [] (uint8_t b) { return b == 0xFF; }));
}

TEST (LoadSong, FailuresLeaveThePacketsAndTheCounter)
{
    const Bytes tooLarge = smf (fillerEvents (sourceBufferSize - 22));
    ASSERT_EQ (tooLarge.size(), size_t (sourceBufferSize));

    struct Case
    {
        const char* name;
        Bytes file;
        std::optional<int64_t> reportedLength, readable;
        LoadOutcome::Kind kind;
        ConvertResult result;
        bool sourceRead;
    };
    const Case cases[] = {
        { "24576 bytes", tooLarge, {}, {}, LoadOutcome::TooLarge, Converted, false },
        { "length cannot be told", goodFile, -1, {}, LoadOutcome::ReadFailed, Converted, false },
        { "read stops early", goodFile, {}, 10, LoadOutcome::ReadFailed, Converted, true },
        { "file shrank after its length was taken", firstBytes (goodFile, 20), int64_t (goodFile.size()), {},
          LoadOutcome::ReadFailed, Converted, true },
        { "conversion fails", smf ({ 0x00, 0x90 }), {}, {}, LoadOutcome::ConversionRan, Truncated, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        Panel panel;
        ASSERT_TRUE (panel.load (goodFile).succeeded());
        panel.packetsSent = 77;
        const auto packetsBefore = panel.store->packetImage;
        const auto imageBefore = panel.store->songImage;
        const auto sourceBefore = panel.store->source;

        MemorySource source (c.file, c.reportedLength, c.readable);
        const auto outcome = panel.load (source);

        EXPECT_EQ (outcome.kind, c.kind);
        EXPECT_EQ (outcome.result, c.result);
        EXPECT_FALSE (outcome.succeeded());
        EXPECT_EQ (outcome.passedSizeTest(), c.kind != LoadOutcome::TooLarge);
        EXPECT_EQ (panel.packetsSent, 77);
        EXPECT_TRUE (panel.store->packetImage == packetsBefore);
        EXPECT_EQ (source.reads > 0, c.sourceRead);

        if (c.kind != LoadOutcome::ConversionRan)
        {
            EXPECT_TRUE (panel.store->songImage == imageBefore) << "nothing converted, nothing filled";
        }
        if (! c.sourceRead)
        {
            EXPECT_TRUE (panel.store->source == sourceBefore);
        }
    }
}

TEST (LoadSong, LargestLoadableFileIsReadAndConverted)
{
    Panel panel;
    const Bytes file = headerChunk (48) + trackChunkHeader (100) + fillerEvents (sourceBufferSize - 1 - 22);
    ASSERT_EQ (file.size(), size_t (sourceBufferSize - 1));

    const auto outcome = panel.load (file);
    EXPECT_EQ (outcome.kind, LoadOutcome::ConversionRan);
    EXPECT_EQ (outcome.result, SongTooLarge);
    EXPECT_EQ (panel.store->loadedLength, sourceBufferSize - 1);
}

TEST (LoadSong, RunningStatusCarriesAcrossLoads)
{
    Panel panel;
    ASSERT_TRUE (panel.load (smf ({ 0x00, 0x90, 0x3C, 0x64 })).succeeded());
    ASSERT_TRUE (panel.load (smf ({ 0x00, 0x3E, 0x64 }, 96)).succeeded());
    EXPECT_EQ (hex (Bytes (panel.store->songImage.begin() + 22, panel.store->songImage.begin() + 25)), "00 3E 64");
}

TEST (StatusText, EveryOutcome)
{
    struct Case
    {
        LoadOutcome outcome;
        const char* text;
    };
    const Case cases[] = {
        { { LoadOutcome::ConversionRan, Converted }, "Ready " },
        { { LoadOutcome::ConversionRan, NotSmf }, "Error : Not an SMF." },
        { { LoadOutcome::ConversionRan, FormatNotSupported }, "SMF Format1 : Not supported" },
        { { LoadOutcome::ConversionRan, SongTooLarge }, "Error : SONG Size over 16KByte" },
        { { LoadOutcome::ConversionRan, BadDeltaTime }, "Error(DeltaTime?)" },
        { { LoadOutcome::ConversionRan, NoTrackChunk }, "Unknown Error..." },
        { { LoadOutcome::ConversionRan, Truncated }, "Error : File truncated" },
        { { LoadOutcome::ConversionRan, DivisionTooSmall }, "Error : Division under 48" },
        { { LoadOutcome::ConversionRan, ConvertResult (8) }, "Unknown Error..." },
        { { LoadOutcome::ConversionRan, ConvertResult (-1) }, "Unknown Error..." },
        { { LoadOutcome::TooLarge, Converted }, "Error.." },
        { { LoadOutcome::ReadFailed, Converted }, "Error : File read failed" },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.text);
        EXPECT_STREQ (statusText (c.outcome), c.text);
    }

    EXPECT_STREQ (sizeRefusalMessage, "Source File Size Over...");
}

} // namespace
} // namespace tunewright::song
