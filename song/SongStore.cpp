// SPDX-License-Identifier: GPL-3.0-or-later
#include "SongStore.h"

#include <algorithm>

namespace tunewright::song
{

const char* const sizeRefusalMessage = "Source File Size Over...";

LoadOutcome loadSong (SongStore& store, SongSource& source, PacketCounters counters) noexcept
{
    const int64_t length = source.length();

    if (length < 0)
        return { LoadOutcome::ReadFailed, Converted };

    if (! fitsSourceBuffer (length))
        return { LoadOutcome::TooLarge, Converted };

    int64_t got = 0;

    while (got < length)
    {
        const int64_t n = source.read (store.source.data() + got, length - got);

        if (n <= 0)
            break;

        got += std::min (n, length - got);
    }

    store.loadedLength = static_cast<int> (got);

    // Converting a partial file would show leftovers of an earlier one as its tail.
    if (got != length)
        return { LoadOutcome::ReadFailed, Converted };

    std::fill_n (store.songImage.begin(), songImageFillSize, uint8_t { 0xFF });

    const auto result = store.converter.convert (store.source.data(), store.loadedLength, store.songImage);

    if (result == Converted)
        buildPacketImage (store.songImage, store.packetImage, counters);

    return { LoadOutcome::ConversionRan, result };
}

const char* statusText (ConvertResult result) noexcept
{
    switch (result)
    {
        case Converted:          return "Ready ";
        case NotSmf:             return "Error : Not an SMF.";
        case FormatNotSupported: return "SMF Format1 : Not supported";
        case SongTooLarge:       return "Error : SONG Size over 16KByte";
        case BadDeltaTime:       return "Error(DeltaTime?)";
        case Truncated:          return "Error : File truncated";
        case DivisionTooSmall:   return "Error : Division under 48";
        case NoTrackChunk:
        default:                 return "Unknown Error...";
    }
}

const char* statusText (LoadOutcome outcome) noexcept
{
    switch (outcome.kind)
    {
        case LoadOutcome::TooLarge:   return "Error..";
        case LoadOutcome::ReadFailed: return "Error : File read failed";
        case LoadOutcome::ConversionRan:
        default:                      return statusText (outcome.result);
    }
}

} // namespace tunewright::song
