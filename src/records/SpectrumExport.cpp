#include "records/SpectrumExport.h"

#include "records/AtomicFile.h"

namespace tarvio {

std::string spectrumText(const Spectrum& spectrum) {
    return tabSeparatedText(spectrum.counts, spectrum.validChannels(), nullptr);
}

std::string calibratedSpectrumText(const Spectrum& spectrum, const CalibrationLine& line) {
    // The same energies as the line's: offset + channel x gain.
    const EnergyCalibration axis = EnergyCalibration::fromLine(line);
    return tabSeparatedText(spectrum.counts, spectrum.validChannels(), &axis);
}

std::string calibratedSpectrumText(const Spectrum& spectrum,
                                   const EnergyCalibration& calibration) {
    return tabSeparatedText(spectrum.counts, spectrum.validChannels(), &calibration);
}

SaveResult Spectrum::saveText(const std::string& path) const {
    return writeFileAtomically(path, spectrumText(*this));
}

SaveResult Spectrum::saveCalibratedText(const std::string& path, const CalibrationPoint& point1,
                                        const CalibrationPoint& point2) const {
    const auto line = CalibrationLine::fromPoints(point1, point2);
    if (!line)
        return SaveResult::failure(CalibrationUndefinedText);
    return writeFileAtomically(path, calibratedSpectrumText(*this, *line));
}

SaveResult Spectrum::saveCalibratedText(const std::string& path,
                                        const EnergyCalibration& calibration) const {
    return writeFileAtomically(path, calibratedSpectrumText(*this, calibration));
}

} // namespace tarvio
