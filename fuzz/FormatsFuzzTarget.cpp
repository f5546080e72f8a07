#include "FormatsFuzzTarget.h"

#include "formats/SpectrumFiles.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tarvio::fuzz {

namespace {

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "formats invariant broken: %s\n", what);
        std::abort();
    }
}

bool sameCalibration(const MeasuredSpectrum& a, const MeasuredSpectrum& b) {
    if (a.calibration.has_value() != b.calibration.has_value())
        return false;
    return !a.calibration || a.calibration->coefficients == b.calibration->coefficients;
}

} // namespace

void RunFormatsInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return;
    const FileFormat format = AllFileFormats[data[0] % 4];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    const ReadResult read = readSpectrumText(text, format, "fuzz");
    if (!read) {
        check(read.error.rfind("fuzz: ", 0) == 0 && read.error.size() > 6, "error names the file");
        return;
    }
    const MeasuredSpectrum& spectrum = *read.spectrum;
    check(!spectrum.counts.empty() && spectrum.counts.size() <= MaxFileChannels,
          "channels within bounds");

    for (const FileFormat other : AllFileFormats) {
        const ReadResult back = readSpectrumText(spectrumFileText(spectrum, other), other, "back");
        check(static_cast<bool>(back), "what was read is written readably");
        check(back.spectrum->counts == spectrum.counts, "counts survive a write and a read");
        if (other != FileFormat::TabText)
            check(sameCalibration(*back.spectrum, spectrum), "calibration survives");
    }
}

} // namespace tarvio::fuzz
