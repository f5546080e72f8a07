#include "formats/SpeFormat.h"

#include "formats/FormatText.h"
#include "formats/MetadataRemarks.h"

#include <cstdio>

namespace tarvio {

namespace {

constexpr const char* Eol = "\r\n";

// "MM/DD/YYYY hh:mm:ss"; the remark "Start:" keeps the milliseconds.
std::string speDate(std::int64_t utcMs) {
    const std::string iso = utcText(utcMs); // YYYY-MM-DDThh:mm:ss.mmmZ
    return iso.substr(5, 2) + "/" + iso.substr(8, 2) + "/" + iso.substr(0, 4) + " " +
           iso.substr(11, 8);
}

std::optional<std::int64_t> parseSpeDate(std::string_view text) {
    text = trim(text);
    if (text.size() < 19 || text[2] != '/' || text[5] != '/' || text[10] != ' ')
        return std::nullopt;
    const std::string iso = std::string(text.substr(6, 4)) + "-" + std::string(text.substr(0, 2)) +
                            "-" + std::string(text.substr(3, 2)) + "T" +
                            std::string(trim(text.substr(11))) + "Z";
    const auto parsed = parseDateTime(iso);
    if (!parsed)
        return std::nullopt;
    return parsed->utcMs;
}

struct Line {
    std::size_t number; // from 1
    std::string_view text;
};

struct Block {
    std::string_view keyword; // "$DATA:"
    std::size_t line;
    std::vector<Line> lines;
};

std::vector<Block> splitBlocks(std::string_view text) {
    std::vector<Block> blocks;
    const auto lines = splitLines(text);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // A keyword starts its line; text of a block that begins with '$' is written
        // indented, so a title can never be taken for a keyword.
        const std::string_view line = trim(lines[i]);
        if (!lines[i].empty() && lines[i].front() == '$') {
            blocks.push_back({line, i + 1, {}});
            continue;
        }
        if (blocks.empty()) {
            if (line.empty())
                continue;
            failAtLine(i + 1, "not an SPE file: " + quoted(line) +
                                  " comes before any block such as $SPEC_ID:");
        }
        blocks.back().lines.push_back({i + 1, lines[i]});
    }
    return blocks;
}

std::vector<std::uint64_t> readData(const Block& block) {
    std::size_t at = 0;
    while (at < block.lines.size() && trim(block.lines[at].text).empty())
        ++at;
    if (at == block.lines.size())
        failAtLine(block.line, "$DATA: without its first and last channel");
    const Line& range = block.lines[at++];
    const auto bounds = splitBlanks(range.text);
    const auto first = bounds.size() == 2 ? parseCount(bounds[0]) : std::nullopt;
    const auto last = bounds.size() == 2 ? parseCount(bounds[1]) : std::nullopt;
    if (!first || !last || *first > *last)
        failAtLine(range.number, quoted(range.text) + " is not a first and a last channel");
    if (*last >= MaxFileChannels)
        failAtLine(range.number, "more than " + std::to_string(MaxFileChannels) + " channels");

    // Channels below the first are empty; counts may stand several to a line.
    std::vector<std::uint64_t> counts(static_cast<std::size_t>(*first), 0);
    const std::size_t expected = static_cast<std::size_t>(*last + 1);
    std::size_t lastLine = range.number;
    for (; at < block.lines.size(); ++at) {
        const Line& line = block.lines[at];
        for (const std::string_view piece : splitBlanks(line.text)) {
            const auto count = parseCount(piece);
            if (!count)
                failAtLine(line.number, quoted(piece) + " is not a whole count of zero or more");
            if (counts.size() == expected)
                failAtLine(line.number, "more counts than channels " + std::to_string(*first) +
                                            " to " + std::to_string(*last));
            counts.push_back(*count);
            lastLine = line.number;
        }
    }
    if (counts.size() != expected)
        failAtLine(lastLine, "$DATA: announces channels " + std::to_string(*first) + " to " +
                                 std::to_string(*last) + " but holds " +
                                 std::to_string(counts.size() - *first) + " counts");
    return counts;
}

// The numbers of a block's first non-empty line (a unit such as "keV" after them ends it).
std::vector<double> numbersOf(const Block& block, std::size_t skipLines = 0) {
    std::vector<double> numbers;
    for (const Line& line : block.lines) {
        if (trim(line.text).empty())
            continue;
        if (skipLines > 0) {
            --skipLines;
            continue;
        }
        for (const std::string_view piece : splitBlanks(line.text)) {
            const auto value = parseNumber(piece);
            if (!value)
                break;
            numbers.push_back(*value);
        }
        break;
    }
    return numbers;
}

} // namespace

std::string writeSpe(const MeasuredSpectrum& spectrum) {
    const MeasurementInfo& info = spectrum.measurement;
    std::string out;
    auto keyword = [&out](std::string_view text) {
        out += text;
        out += Eol;
    };
    auto line = [&out](std::string_view text) {
        if (!text.empty() && text.front() == '$')
            out += ' ';
        out += text;
        out += Eol;
    };

    // Programs list SPE files by this line: without a title, say what measured it.
    keyword("$SPEC_ID:");
    line(oneLine(spectrum.title.empty() ? info.operatingPoint.interfaceDescription
                                        : spectrum.title));
    keyword("$SPEC_REM:");
    line(remark(remark_keys::Start, info.startUtcMs ? utcText(*info.startUtcMs) : UnknownValue));
    if (!info.realSeconds)
        line(remark(remark_keys::RealTime, UnknownValue));
    if (!info.liveSeconds)
        line(remark(remark_keys::LiveTime, UnknownValue));
    for (const std::string& r : operatingPointRemarks(info))
        line(r);
    if (!spectrum.calibration)
        line(remark(remark_keys::Calibration, NoCalibrationValue));
    for (const std::string& r : spectrum.remarks)
        line(oneLine(r));
    keyword("$DATE_MEA:");
    line(speDate(info.startUtcMs.value_or(0)));
    keyword("$MEAS_TIM:");
    line(secondsText(info.liveSeconds.value_or(0.0)) + " " +
         secondsText(info.realSeconds.value_or(0.0)));
    keyword("$DATA:");
    line("0 " + std::to_string(spectrum.counts.empty() ? 0 : spectrum.counts.size() - 1));
    for (const std::uint64_t count : spectrum.counts)
        line(std::to_string(count));
    if (spectrum.calibration) {
        const auto& c = spectrum.calibration->coefficients;
        // The older block holds a straight line only.
        if (spectrum.calibration->isLinear()) {
            keyword("$ENER_FIT:");
            line(numberText(c[0]) + " " + numberText(c[1]));
        }
        keyword("$MCA_CAL:");
        line("3");
        line(numberText(c[0]) + " " + numberText(c[1]) + " " + numberText(c[2]) + " keV");
    }
    return out;
}

MeasuredSpectrum readSpe(std::string_view text, std::vector<std::string>& notes) {
    const std::vector<Block> blocks = splitBlocks(text);
    MeasuredSpectrum result;
    std::vector<std::string_view> remarks;
    std::optional<EnergyCalibration> fit;
    std::optional<EnergyCalibration> mcaCal;
    bool haveData = false;
    bool haveMcaCal = false;

    for (const Block& block : blocks) {
        const std::string_view key = block.keyword;
        if (key == "$SPEC_ID:") {
            for (const Line& l : block.lines) {
                if (!trim(l.text).empty()) {
                    result.title = std::string(trim(l.text));
                    break;
                }
            }
        } else if (key == "$SPEC_REM:") {
            for (const Line& l : block.lines)
                remarks.push_back(trim(l.text));
        } else if (key == "$DATE_MEA:") {
            for (const Line& l : block.lines) {
                if (trim(l.text).empty())
                    continue;
                if (const auto start = parseSpeDate(l.text))
                    result.measurement.startUtcMs = *start;
                else
                    notes.push_back("The date " + quoted(trim(l.text)) + " on line " +
                                    std::to_string(l.number) +
                                    " is not MM/DD/YYYY hh:mm:ss; it was left out.");
                break;
            }
        } else if (key == "$MEAS_TIM:") {
            const auto times = numbersOf(block);
            if (times.size() >= 2 && times[0] >= 0.0 && times[1] >= 0.0) {
                result.measurement.liveSeconds = times[0];
                result.measurement.realSeconds = times[1];
            } else {
                notes.push_back("$MEAS_TIM: on line " + std::to_string(block.line) +
                                " does not hold a live and a real time; they were left out.");
            }
        } else if (key == "$DATA:") {
            if (haveData) {
                notes.push_back("The file holds more than one $DATA: block; the first was read.");
                continue;
            }
            result.counts = readData(block);
            haveData = true;
        } else if (key == "$ENER_FIT:") {
            fit = calibrationFromFile(numbersOf(block));
        } else if (key == "$MCA_CAL:") {
            haveMcaCal = true;
            mcaCal = calibrationFromFile(numbersOf(block, 1));
        }
        // Every other block ($ROI:, $PRESETS:, $SHAPE_CAL: ...) is of no use here.
    }
    if (!haveData)
        failAtLine(1, "no $DATA: block");
    result.calibration = haveMcaCal ? mcaCal : fit;
    for (const std::string_view r : remarks) {
        if (!readRemark(r, result) && !r.empty())
            result.remarks.emplace_back(r);
    }
    // The interface's description standing in for a missing title is no title.
    const std::string& description = result.measurement.operatingPoint.interfaceDescription;
    if (!description.empty() && result.title == trim(oneLine(description)))
        result.title.clear();
    return result;
}

} // namespace tarvio
