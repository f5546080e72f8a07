#pragma once
// What a format has no field of its own for travels as "Key: value" remarks: the operating
// point, whether the measurement ended, and a time or calibration that is unknown. Every
// format writes the same remarks and reads them back the same way, so a spectrum keeps its
// operating point through N42, SPE and CSV alike.

#include "formats/MeasuredSpectrum.h"

#include <string>
#include <string_view>
#include <vector>

namespace tarvio {

namespace remark_keys {
inline constexpr std::string_view Title = "Title";
inline constexpr std::string_view Start = "Start";
inline constexpr std::string_view RealTime = "Real time";
inline constexpr std::string_view LiveTime = "Live time";
inline constexpr std::string_view Calibration = "Energy calibration";
inline constexpr std::string_view Ended = "Measurement ended";
} // namespace remark_keys

// Stands where a time or a calibration is not known.
inline constexpr std::string_view UnknownValue = "unknown";
inline constexpr std::string_view NoCalibrationValue = "none";

// Remarks read from one file, the keyed ones among them: far more than any program writes, few
// enough that a file of nothing but remark lines costs no more than its size.
inline constexpr std::size_t MaxRemarks = 1000;
// "The file holds 5000 remarks; the first 1000 were read."
std::string remarksLeftOutNote(std::size_t total);

std::string remark(std::string_view key, std::string_view value);

// Interface, chip identifiers, bias, threshold, delay, samples per pulse (those known), the
// pulse processing and the pulses it rejected by reason (when not the plain largest sample),
// and whether the measurement ended.
std::vector<std::string> operatingPointRemarks(const MeasurementInfo& info);

// Takes one remark into the spectrum when it is one of the keys above (a time or
// calibration marked unknown clears that field); returns false for any other text, which
// the caller keeps as a free remark.
bool readRemark(std::string_view text, MeasuredSpectrum& spectrum);

} // namespace tarvio
