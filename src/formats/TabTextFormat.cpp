#include "formats/TabTextFormat.h"

#include "formats/ChannelCounts.h"
#include "formats/EnergyColumn.h"
#include "formats/FormatText.h"
#include "records/SpectrumExport.h"
#include "records/TextFormat.h"

namespace tarvio {

namespace {

bool looksLikeEnergy(std::string_view text) {
    return text.find_first_of(".eE") != std::string_view::npos || text.find('-') == 0;
}

} // namespace

std::string writeTabText(const MeasuredSpectrum& spectrum, bool energies) {
    const EnergyCalibration* axis =
        energies && spectrum.calibration ? &*spectrum.calibration : nullptr;
    return tabSeparatedText(spectrum.counts, spectrum.counts.size(), axis);
}

MeasuredSpectrum readTabText(std::string_view text, std::vector<std::string>& notes) {
    ChannelCounts counts;
    EnergyColumn energies;
    std::optional<bool> energyForm;
    std::size_t lastLine = 1;
    const auto lines = splitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t number = i + 1;
        if (trim(lines[i]).empty())
            continue;
        lastLine = number;
        const auto fields = splitBlanks(lines[i]);
        if (fields.size() != 2)
            failAtLine(number,
                       quoted(lines[i]) + " is not a channel (or an energy), a tab and a count");
        if (!energyForm)
            energyForm = looksLikeEnergy(fields[0]);
        if (*energyForm) {
            counts.append(number, fields[1]);
            if (!energies.add(counts.size() - 1, fields[0]))
                failAtLine(number, quoted(fields[0]) + " is not an energy");
        } else {
            counts.put(number, fields[0], fields[1]);
        }
    }
    MeasuredSpectrum result;
    result.counts = counts.take(lastLine);
    if (energyForm.value_or(false)) {
        result.calibration = energies.line();
        if (!result.calibration)
            notes.push_back("The energies do not lie on a straight line; the spectrum was read "
                            "without an energy axis.");
    }
    return result;
}

} // namespace tarvio
