#pragma once
// One spectrum file's facts in a line or a JSON object: total counts, channels, times and the
// energy axis, so a reader sees at once what the figures below were computed from.

#include "formats/MeasuredSpectrum.h"

#include <nlohmann/json_fwd.hpp>

#include <string>

namespace tarvio {

// "10000 counts in 4096 channels, real 52.000 s, live 51.900 s, keV = 0 + 0.2 x channel".
std::string spectrumSummaryText(const MeasuredSpectrum& spectrum);
// {"counts", "channels", "start", "real", "live", "calibration"}; unknown values null.
nlohmann::json spectrumSummaryJson(const MeasuredSpectrum& spectrum);

} // namespace tarvio
