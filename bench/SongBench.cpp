// SPDX-License-Identifier: GPL-3.0-or-later
// Load, convert and pack of a 24575-byte file, the largest the program accepts,
// against the framework's own MIDI file parser on (nearly) the same bytes.
#include "song/SongStore.h"

#include <benchmark/benchmark.h>
#include <juce_audio_basics/juce_audio_basics.h>

#include <cstring>
#include <memory>
#include <vector>

namespace
{
using namespace tunewright::song;
using Bytes = std::vector<uint8_t>;

void append (Bytes& out, std::initializer_list<uint8_t> bytes)
{
    out.insert (out.end(), bytes);
}

void appendBigEndian (Bytes& out, uint32_t value, int size)
{
    for (int i = size - 1; i >= 0; --i)
        out.push_back (static_cast<uint8_t> (value >> (8 * i)));
}

// The device takes a track length field of at most 20479, while the framework
// reads a format-0 file only when its track chunk covers the rest of the file
// exactly; so no 24575-byte file passes both. The two files here differ only in
// that field (bytes 18 to 21): the program converts the one with the length it
// accepts (the field is not a bound, so all events are converted), the
// framework parses the one with the true length. Either way all 24553 event
// bytes are gone through.
//
// 15360 ticks per quarter; notes, controllers and program changes, mostly in
// running status; every delta-time takes three bytes before re-timing.
Bytes largestFile (bool trueTrackLength)
{
    const size_t trackLength = static_cast<size_t> (sourceBufferSize - 1 - songHeaderSize);
    Bytes track;
    append (track, { 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20 });
    append (track, { 0x00, 0x90, 0x3C, 0x64 });

    for (int i = 0; track.size() + 6 + 4 + 4 <= trackLength; ++i)
    {
        const auto key = static_cast<uint8_t> (36 + i % 48);
        switch (i % 8)
        {
            case 6:  append (track, { 0x81, 0x80, 0x40, 0xB0, 0x07, static_cast<uint8_t> (i % 128) }); break;
            case 7:  append (track, { 0x81, 0x80, 0x40, 0x90, key, 0x64 }); break;
            default: append (track, { 0x81, 0x80, 0x40, key, static_cast<uint8_t> (i % 2 == 0 ? 0x00 : 0x64) }); break;
        }
    }

    const size_t padding = trackLength - 4 - track.size() - 4;
    append (track, { 0x00, 0xFF, 0x01, static_cast<uint8_t> (padding) });
    track.insert (track.end(), padding, 'x');
    append (track, { 0x00, 0xFF, 0x2F, 0x00 });

    Bytes file { 'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1 };
    appendBigEndian (file, 15360, 2);
    append (file, { 'M', 'T', 'r', 'k' });
    appendBigEndian (file, static_cast<uint32_t> (trueTrackLength ? track.size() : size_t (maxTrackLength)), 4);
    file.insert (file.end(), track.begin(), track.end());
    return file;
}

const Bytes& deviceFile()
{
    static const Bytes file = largestFile (false);
    return file;
}

const Bytes& standardFile()
{
    static const Bytes file = largestFile (true);
    return file;
}

class MemorySource : public SongSource
{
public:
    explicit MemorySource (const Bytes& b) : bytes (b) {}
    int64_t length() override { return static_cast<int64_t> (bytes.size()); }
    int64_t read (uint8_t* destination, int64_t count) override
    {
        const auto n = static_cast<size_t> (count);
        std::memcpy (destination, bytes.data(), n);
        return count;
    }

private:
    const Bytes& bytes;
};

void setFileCounters (benchmark::State& state, const Bytes& file)
{
    state.SetBytesProcessed (state.iterations() * static_cast<int64_t> (file.size()));
    state.counters["file_bytes"] = static_cast<double> (file.size());
}

void BM_LoadConvertPack (benchmark::State& state)
{
    auto store = std::make_unique<SongStore>();
    int32_t packetsSent = 0, checksum = 0;

    for (auto _ : state)
    {
        MemorySource source (deviceFile());
        const auto outcome = loadSong (*store, source, { packetsSent, checksum });
        benchmark::DoNotOptimize (outcome);
        benchmark::ClobberMemory();

        if (! outcome.succeeded())
        {
            state.SkipWithError (statusText (outcome));
            break;
        }
    }

    setFileCounters (state, deviceFile());
    state.counters["content_bytes"] = store->converter.writePos;
}

// The framework's file, through our path: refused at the header for its track length.
void BM_LoadStandardFile (benchmark::State& state)
{
    auto store = std::make_unique<SongStore>();
    int32_t packetsSent = 0, checksum = 0;
    LoadOutcome outcome;

    for (auto _ : state)
    {
        MemorySource source (standardFile());
        outcome = loadSong (*store, source, { packetsSent, checksum });
        benchmark::DoNotOptimize (outcome);
        benchmark::ClobberMemory();
    }

    setFileCounters (state, standardFile());
    state.SetLabel (statusText (outcome));
}

void BM_ConvertOnly (benchmark::State& state)
{
    auto image = std::make_unique<SongImage>();
    SongConverter converter;

    for (auto _ : state)
    {
        std::memset (image->data(), 0xFF, songImageFillSize);
        benchmark::DoNotOptimize (converter.convert (deviceFile().data(), static_cast<int> (deviceFile().size()), *image));
        benchmark::ClobberMemory();
    }

    setFileCounters (state, deviceFile());
}

void BM_PackOnly (benchmark::State& state)
{
    auto image = std::make_unique<SongImage>();
    auto packets = std::make_unique<PacketImage>();
    std::memset (image->data(), 0xFF, songImageFillSize);
    SongConverter converter;
    converter.convert (deviceFile().data(), static_cast<int> (deviceFile().size()), *image);
    int32_t packetsSent = 0, checksum = 0;

    for (auto _ : state)
    {
        buildPacketImage (*image, *packets, { packetsSent, checksum });
        benchmark::ClobberMemory();
    }
}

void BM_JuceMidiFileReadFrom (benchmark::State& state)
{
    const bool matchNoteOffs = state.range (0) != 0;
    int events = 0;

    for (auto _ : state)
    {
        juce::MemoryInputStream stream (standardFile().data(), standardFile().size(), false);
        juce::MidiFile midiFile;

        if (! midiFile.readFrom (stream, matchNoteOffs))
        {
            state.SkipWithError ("the framework could not read the file");
            break;
        }

        events = midiFile.getTrack (0)->getNumEvents();
        benchmark::DoNotOptimize (midiFile);
    }

    setFileCounters (state, standardFile());
    state.counters["events"] = events;
}

BENCHMARK (BM_LoadConvertPack);
BENCHMARK (BM_LoadStandardFile);
BENCHMARK (BM_ConvertOnly);
BENCHMARK (BM_PackOnly);
BENCHMARK (BM_JuceMidiFileReadFrom)->ArgName ("createMatchingNoteOffs")->Arg (0)->Arg (1);
} // namespace

BENCHMARK_MAIN();
