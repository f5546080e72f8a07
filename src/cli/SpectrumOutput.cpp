#include "cli/SpectrumOutput.h"

#include "cli/CommandErrors.h"
#include "cli/ExitCodes.h"
#include "formats/SpectrumFiles.h"

namespace tarvio {

SpectrumOutput spectrumOutput(const std::string& path, bool calibrated) {
    const auto format = formatForWriting(path);
    if (!format)
        throw UsageError("'" + path + "': the extension names no format; use " +
                         writableExtensions() + " (N42, IAEA SPE, CSV or tab-separated text)");
    if (calibrated && *format != FileFormat::TabText)
        throw UsageError("--calibrated is for the .txt form; " + std::string(formatName(*format)) +
                         " files carry the calibration themselves");
    return SpectrumOutput{path, *format, calibrated};
}

SaveResult writeSpectrum(const SpectrumOutput& output, const MeasuredSpectrum& spectrum) {
    if (output.remarks.empty())
        return saveSpectrumFile(output.path, spectrum, output.format, output.energies);
    MeasuredSpectrum noted = spectrum;
    noted.remarks.insert(noted.remarks.end(), output.remarks.begin(), output.remarks.end());
    return saveSpectrumFile(output.path, noted, output.format, output.energies);
}

int writeSpectrumReporting(const SpectrumOutput& output, const MeasuredSpectrum& spectrum,
                           const std::string& input, std::ostream& err) {
    if (output.energies && !spectrum.calibration)
        throw UsageError("--calibrated: " + input + " has no energy calibration");
    if (const SaveResult saved = writeSpectrum(output, spectrum); !saved) {
        err << saved.error << '\n';
        return exitStatus(ExitCode::OutputNotWritten);
    }
    for (const std::string& left : whatIsLeftOut(output, spectrum))
        err << output.path << ": " << left << '\n';
    return exitStatus(ExitCode::Done);
}

std::vector<std::string> whatIsLeftOut(const SpectrumOutput& output,
                                       const MeasuredSpectrum& spectrum) {
    std::vector<std::string> left;
    if (output.format != FileFormat::TabText)
        return left;
    const MeasurementInfo& m = spectrum.measurement;
    if (m.startUtcMs || m.realSeconds || m.liveSeconds)
        left.push_back("the tab-separated text keeps no start, real or live time");
    if (spectrum.calibration && !output.energies)
        left.push_back("the channel form keeps no energy calibration (--calibrated writes keV)");
    return left;
}

} // namespace tarvio
