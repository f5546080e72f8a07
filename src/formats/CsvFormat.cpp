#include "formats/CsvFormat.h"

#include "formats/ChannelCounts.h"
#include "formats/EnergyColumn.h"
#include "formats/FormatText.h"
#include "formats/MetadataRemarks.h"
#include "records/TextFormat.h"

#include <algorithm>

namespace tarvio {

namespace {

constexpr const char* Eol = "\r\n";
constexpr const char* Header = "channel,energy_keV,counts";

// One field without the blanks around it; a quoted name or number loses its quotes.
std::string_view fieldText(std::string_view raw) {
    std::string_view field = trim(raw);
    if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
        field = field.substr(1, field.size() - 2);
    return field;
}

std::size_t fieldCount(std::string_view line, char separator) {
    return static_cast<std::size_t>(std::count(line.begin(), line.end(), separator)) + 1;
}

// Calls take(index, field) for each field of the line until it returns false. Nothing is
// gathered, so a row of a million separators costs no memory.
template <typename Take> void forEachField(std::string_view line, char separator, Take take) {
    std::size_t begin = 0;
    for (std::size_t index = 0;; ++index) {
        const std::size_t end = line.find(separator, begin);
        if (!take(index, fieldText(line.substr(begin, end - begin))) ||
            end == std::string_view::npos)
            return;
        begin = end + 1;
    }
}

char separatorOf(std::string_view line) {
    if (line.find(',') != std::string_view::npos)
        return ',';
    if (line.find(';') != std::string_view::npos)
        return ';';
    return '\t';
}

bool hasLetter(std::string_view text) {
    for (const char c : text) {
        // An exponent ("1e+06") is no name.
        if ((c >= 'a' && c <= 'z' && c != 'e') || (c >= 'A' && c <= 'Z' && c != 'E'))
            return true;
    }
    return false;
}

constexpr std::size_t MaxHeaderColumns = 1024;

struct Columns {
    std::optional<std::size_t> channel;
    std::optional<std::size_t> energy;
    std::size_t counts = 0;
};

bool names(std::string_view field, std::initializer_list<std::string_view> candidates) {
    for (const std::string_view c : candidates) {
        if (startsWithNoCase(field, c))
            return true;
    }
    return false;
}

Columns columnsFromHeader(std::string_view line, char separator, std::size_t number) {
    Columns columns;
    std::optional<std::size_t> counts;
    std::string_view first;
    const std::size_t width = fieldCount(line, separator);
    forEachField(line, separator, [&](std::size_t i, std::string_view f) {
        if (i == 0)
            first = f;
        if (!counts && names(f, {"count", "counts", "content", "value"}))
            counts = i;
        else if (!columns.channel && names(f, {"channel", "chan", "ch"}))
            columns.channel = i;
        else if (!columns.energy && names(f, {"energy", "kev", "e_kev"}))
            columns.energy = i;
        // Names are looked for among the first columns only: a header of a hundred
        // million names is no table of counts, and reading it all would take seconds.
        return !(counts && columns.channel && columns.energy) && i + 1 < MaxHeaderColumns;
    });
    if (!counts && width == 2)
        counts = 1;
    if (!counts)
        failAtLine(number,
                   "no column of counts among " + quoted(first) + (width > 1 ? " ..." : ""));
    columns.counts = *counts;
    return columns;
}

// Without a header: counts alone, channel and counts, or this program's three columns.
Columns columnsFromWidth(std::size_t width) {
    Columns columns;
    if (width == 1)
        return columns;
    columns.channel = 0;
    if (width >= 3)
        columns.energy = 1;
    columns.counts = width >= 3 ? 2 : 1;
    return columns;
}

} // namespace

std::string writeCsv(const MeasuredSpectrum& spectrum) {
    const MeasurementInfo& info = spectrum.measurement;
    std::string out;
    auto comment = [&out](const std::string& text) {
        out += "# ";
        out += text;
        out += Eol;
    };
    if (!spectrum.title.empty())
        comment(remark(remark_keys::Title, spectrum.title));
    if (info.startUtcMs)
        comment(remark(remark_keys::Start, utcText(*info.startUtcMs)));
    if (info.realSeconds)
        comment(remark(remark_keys::RealTime, secondsText(*info.realSeconds) + " s"));
    if (info.liveSeconds)
        comment(remark(remark_keys::LiveTime, secondsText(*info.liveSeconds) + " s"));
    if (spectrum.calibration) {
        const auto& c = spectrum.calibration->coefficients;
        comment(remark(remark_keys::Calibration, numberText(c[0]) + " " + numberText(c[1]) + " " +
                                                     numberText(c[2]) +
                                                     " (keV = c0 + c1 ch + c2 ch^2)"));
    } else {
        comment(remark(remark_keys::Calibration, NoCalibrationValue));
    }
    for (const std::string& r : operatingPointRemarks(info))
        comment(r);
    for (const std::string& r : spectrum.remarks)
        comment(oneLine(r));

    out += Header;
    out += Eol;
    for (std::size_t i = 0; i < spectrum.counts.size(); ++i) {
        appendDecimal(out, static_cast<std::int64_t>(i));
        out += ',';
        if (spectrum.calibration)
            appendEnergy(out, spectrum.calibration->energy(static_cast<double>(i)), i);
        out += ',';
        out += std::to_string(spectrum.counts[i]);
        out += Eol;
    }
    return out;
}

MeasuredSpectrum readCsv(std::string_view text, std::vector<std::string>& notes) {
    MeasuredSpectrum result;
    std::vector<std::string_view> remarks;
    ChannelCounts counts;
    EnergyColumn energies;
    std::optional<Columns> columns;
    char separator = ',';
    bool energiesUsable = true;
    bool calibrationGiven = false;

    std::size_t lastLine = 1;
    std::size_t remarkLines = 0;
    LineCursor lines(text);
    for (std::string_view raw; lines.next(raw);) {
        const std::size_t number = lines.number();
        const std::string_view line = trim(raw);
        if (line.empty())
            continue;
        lastLine = number;
        if (line.front() == '#') {
            const std::string_view body = trim(line.substr(1));
            if (body.empty() || ++remarkLines > MaxRemarks)
                continue;
            calibrationGiven = calibrationGiven || startsWithNoCase(body, remark_keys::Calibration);
            remarks.push_back(body);
            continue;
        }
        if (!columns) {
            separator = separatorOf(line);
            if (hasLetter(line)) {
                columns = columnsFromHeader(line, separator, number);
                continue;
            }
            columns = columnsFromWidth(fieldCount(line, separator));
        }
        std::optional<std::string_view> channel;
        std::optional<std::string_view> energy;
        std::optional<std::string_view> count;
        const std::size_t lastNeeded =
            std::max({columns->counts, columns->channel.value_or(0), columns->energy.value_or(0)});
        forEachField(line, separator, [&](std::size_t i, std::string_view f) {
            if (columns->channel && i == *columns->channel)
                channel = f;
            if (columns->energy && i == *columns->energy)
                energy = f;
            if (i == columns->counts)
                count = f;
            return i < lastNeeded;
        });
        if (!count)
            failAtLine(number, "the row has " + std::to_string(fieldCount(line, separator)) +
                                   " columns; the counts are in column " +
                                   std::to_string(columns->counts + 1));
        if (channel)
            counts.put(number, *channel, *count);
        else
            counts.append(number, *count);
        if (energy && energiesUsable && !energy->empty())
            energiesUsable = energies.add(counts.size() - 1, *energy);
    }
    if (!columns)
        failAtLine(lastLine, "no rows of counts");
    result.counts = counts.take(lastLine);

    // An energy column is the calibration only when the file states none of its own.
    if (!calibrationGiven && !energies.empty()) {
        result.calibration = energiesUsable ? energies.line() : std::nullopt;
        if (!result.calibration)
            notes.push_back("The energies do not lie on a straight line; the spectrum was read "
                            "without an energy axis.");
    }
    for (const std::string_view r : remarks) {
        if (!readRemark(r, result) && !r.empty())
            result.remarks.emplace_back(r);
    }
    if (remarkLines > MaxRemarks)
        notes.push_back(remarksLeftOutNote(remarkLines));
    return result;
}

} // namespace tarvio
