#pragma once
// Where a command writes a spectrum: the format from the file's extension, the keV form of
// the tab-separated text when asked for, and always through a temporary file renamed over
// the target, so that a failed write leaves whatever was there before.

#include "formats/MeasuredSpectrum.h"
#include "formats/SpectrumFiles.h"
#include "records/SaveResult.h"

#include <ostream>
#include <string>
#include <vector>

namespace tarvio {

struct SpectrumOutput {
    std::string path;
    FileFormat format = FileFormat::TabText;
    bool energies = false; // the keV form of the tab-separated text
    // Added to the spectrum's remarks in every format that keeps remarks (the simulated
    // source's activity, for one).
    std::vector<std::string> remarks{};
};

// Throws UsageError for an extension no format uses, or --calibrated with another format.
SpectrumOutput spectrumOutput(const std::string& path, bool calibrated);

SaveResult writeSpectrum(const SpectrumOutput& output, const MeasuredSpectrum& spectrum);

// writeSpectrum for a command: --calibrated refused (UsageError) when `input` has no energy
// calibration, a failed write on stderr, what the target leaves out on stderr; the exit
// status.
int writeSpectrumReporting(const SpectrumOutput& output, const MeasuredSpectrum& spectrum,
                           const std::string& input, std::ostream& err);

// What the target cannot keep of this spectrum, one sentence each (the tab-separated text
// has no times, no operating point and, in its channel form, no energy axis).
std::vector<std::string> whatIsLeftOut(const SpectrumOutput& output,
                                       const MeasuredSpectrum& spectrum);

} // namespace tarvio
