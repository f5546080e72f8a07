#include "formats/TabTextFormat.h"

#include "formats/ChannelCounts.h"
#include "formats/EnergyColumn.h"
#include "formats/FormatText.h"
#include "records/TextFormat.h"

namespace tarvio {

namespace {

bool looksLikeEnergy(std::string_view text) {
    return text.find_first_of(".eE") != std::string_view::npos || text.find('-') == 0;
}

} // namespace

std::string writeTabText(const MeasuredSpectrum& spectrum, bool energies) {
    const bool keV = energies && spectrum.calibration.has_value();
    std::string out;
    out.reserve(spectrum.counts.size() * 16);
    for (std::size_t i = 0; i < spectrum.counts.size(); ++i) {
        if (keV)
            appendEnergy(out, spectrum.calibration->energy(static_cast<double>(i)), i);
        else
            appendDecimal(out, static_cast<std::int64_t>(i));
        out += '\t';
        out += std::to_string(spectrum.counts[i]);
        out += "\r\n";
    }
    return out;
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
