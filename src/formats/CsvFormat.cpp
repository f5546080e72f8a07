#include "formats/CsvFormat.h"

#include "formats/ChannelCounts.h"
#include "formats/EnergyColumn.h"
#include "formats/FormatText.h"
#include "formats/MetadataRemarks.h"
#include "records/TextFormat.h"

namespace tarvio {

namespace {

constexpr const char* Eol = "\r\n";
constexpr const char* Header = "channel,energy_keV,counts";
constexpr int EnergyDecimals = 4; // as the tab-separated keV file

std::vector<std::string_view> splitOn(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = line.find(separator, begin);
        std::string_view field = trim(line.substr(begin, end - begin));
        // A quoted name or number: the quotes are not part of it.
        if (field.size() >= 2 && field.front() == '"' && field.back() == '"')
            field = field.substr(1, field.size() - 2);
        fields.push_back(field);
        if (end == std::string_view::npos)
            return fields;
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

Columns columnsFromHeader(const std::vector<std::string_view>& header, std::size_t line) {
    Columns columns;
    std::optional<std::size_t> counts;
    for (std::size_t i = 0; i < header.size(); ++i) {
        if (!counts && names(header[i], {"count", "counts", "content", "value"}))
            counts = i;
        else if (!columns.channel && names(header[i], {"channel", "chan", "ch"}))
            columns.channel = i;
        else if (!columns.energy && names(header[i], {"energy", "kev", "e_kev"}))
            columns.energy = i;
    }
    if (!counts && header.size() == 2)
        counts = 1;
    if (!counts)
        failAtLine(line, "no column of counts among " + quoted(std::string(header.front())) +
                             (header.size() > 1 ? " ..." : ""));
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
            appendFixed(out, spectrum.calibration->energy(static_cast<double>(i)), EnergyDecimals);
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

    const auto lines = splitLines(text);
    std::size_t lastLine = 1;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::size_t number = i + 1;
        const std::string_view line = trim(lines[i]);
        if (line.empty())
            continue;
        lastLine = number;
        if (line.front() == '#') {
            std::string_view body = trim(line.substr(1));
            calibrationGiven = calibrationGiven || startsWithNoCase(body, remark_keys::Calibration);
            remarks.push_back(body);
            continue;
        }
        if (!columns) {
            separator = separatorOf(line);
            const auto fields = splitOn(line, separator);
            if (hasLetter(line)) {
                columns = columnsFromHeader(fields, number);
                continue;
            }
            columns = columnsFromWidth(fields.size());
        }
        const auto fields = splitOn(line, separator);
        if (fields.size() <= columns->counts)
            failAtLine(number, "the row has " + std::to_string(fields.size()) +
                                   " columns; the counts are in column " +
                                   std::to_string(columns->counts + 1));
        if (columns->channel && *columns->channel < fields.size())
            counts.put(number, fields[*columns->channel], fields[columns->counts]);
        else
            counts.append(number, fields[columns->counts]);
        if (columns->energy && *columns->energy < fields.size() && energiesUsable &&
            !fields[*columns->energy].empty())
            energiesUsable = energies.add(counts.size() - 1, fields[*columns->energy]);
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
    return result;
}

} // namespace tarvio
