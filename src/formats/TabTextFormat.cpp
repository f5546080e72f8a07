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
    std::size_t failed = 0;
    auto text = tabSeparatedText(spectrum.counts, spectrum.counts.size(), axis, &failed);
    if (!text)
        throw WriteError("the energy of channel " + std::to_string(failed) +
                         " is not a finite number");
    return std::move(*text);
}

MeasuredSpectrum readTabText(std::string_view text, std::vector<std::string>& notes) {
    ChannelCounts counts;
    EnergyColumn energies;
    std::optional<bool> energyForm;
    std::size_t lastLine = 1;
    LineCursor lines(text);
    for (std::string_view line; lines.next(line);) {
        const std::size_t number = lines.number();
        if (trim(line).empty())
            continue;
        lastLine = number;
        // Two pieces and no third; a long row of pieces is never gathered.
        BlankCursor pieces(line);
        std::string_view fields[2];
        std::string_view extra;
        if (!pieces.next(fields[0]) || !pieces.next(fields[1]) || pieces.next(extra))
            failAtLine(number,
                       quoted(line) + " is not a channel (or an energy), a tab and a count");
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
