#pragma once
// The pulse processing kept between runs, the [Processing] section of settings.ini. Written
// only once the operator has chosen something other than the largest sample with nothing
// rejected and the built-in template, so a fresh file keeps its nine lines.
//
//   [Processing]
//   Height=fit                ; largest (the default) or fit
//   Reject=pileup,shape       ; saturated, pileup, shape, all or none
//   Tolerance=5               ; standard deviations of the noise a pulse may stray
//   Template=1000 0 0 12 ...  ; a learned template: its pulse count and grid (absent: built in)
//   LearnPulses=1000          ; how many pulses "learn the template" takes
//
// Reading never fails: a value that does not parse leaves that setting at its default.

#include "processing/ProcessingOptions.h"
#include "settings/IniFile.h"

namespace tarvio {

struct ProcessingSettings {
    ProcessingOptions options;
    int learnPulses = DefaultLearnPulses;

    static constexpr int DefaultLearnPulses = 1000;
    static constexpr int MaxLearnPulses = 1000000;
};

ProcessingSettings readProcessingSettings(const IniFile& ini);
// Writes the section afresh, or removes it when everything is at its default.
void writeProcessingSettings(IniFile& ini, const ProcessingSettings& settings);

} // namespace tarvio
