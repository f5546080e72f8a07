#include "spectrometer/ChipIdentifiers.h"

#include "encodings/Encodings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tarvio {

namespace {

constexpr std::size_t RecordBytes = 4;
// The text's capacity divided by the shortest entry with its separator.
constexpr unsigned MaxEntries = ChipIdTextCapacity / 8;

} // namespace

ChipIdentifiers DecodeChipIdentifiers(const std::uint8_t* data, std::size_t length,
                                      unsigned chipCount) {
    ChipIdentifiers result;
    const std::size_t whole = data ? length / RecordBytes : 0;
    const std::size_t entries = std::min<std::size_t>({chipCount, MaxEntries, whole});
    std::size_t used = 0;
    bool textFull = false;
    for (std::size_t chip = 0; chip < entries; ++chip) {
        const std::uint8_t* record = data + chip * RecordBytes;
        const unsigned d1 = ReverseBits(record[1]);
        const unsigned d2 = ReverseBits(record[2]);
        const unsigned d3 = ReverseBits(record[3]);
        const unsigned x = d1 & 0x0F;
        const unsigned y = d1 >> 4;
        const unsigned wafer = (d3 & 7) * 256 + d2;

        char entry[32];
        if (x == 0 && y == 0 && wafer == 0) {
            std::snprintf(entry, sizeof entry, "000-W000");
        } else {
            std::snprintf(entry, sizeof entry, "%c%02d-W%04u", static_cast<char>(64 + x),
                          12 - static_cast<int>(y), wafer);
            // The flags describe every chip, also one whose entry no longer fits the text.
            result.largeCounters = true;
            result.timepix = result.timepix || (d3 & 8) != 0;
        }
        if (textFull) {
            continue;
        }
        const std::size_t separator = used > 0 ? 1 : 0;
        const std::size_t entryLength = std::strlen(entry);
        if (used + separator + entryLength > ChipIdTextCapacity) {
            textFull = true;
            continue;
        }
        if (separator) {
            result.text[used++] = ' ';
        }
        std::memcpy(result.text + used, entry, entryLength);
        used += entryLength;
        result.text[used] = '\0';
    }
    return result;
}

} // namespace tarvio
