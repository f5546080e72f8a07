#include "formats/SpeFormat.h"

#include "formats/FormatText.h"
#include "formats/MetadataRemarks.h"

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

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

// The $DATA: block as it streams past: the first and last channel, then counts, several to a
// line if need be.
class DataBlock {
public:
    explicit DataBlock(std::size_t line) : keywordLine_(line), lastLine_(line) {}

    void add(std::size_t number, std::string_view text) {
        if (trim(text).empty())
            return;
        if (!range_) {
            readRange(number, text);
            return;
        }
        BlankCursor pieces(text);
        for (std::string_view piece; pieces.next(piece);) {
            const auto count = parseCount(piece);
            if (!count)
                failAtLine(number, quoted(piece) + " is not a whole count of zero or more");
            if (counts_.size() == expected_)
                failAtLine(number, "more counts than channels " + std::to_string(first_) + " to " +
                                       std::to_string(expected_ - 1));
            counts_.push_back(*count);
            lastLine_ = number;
        }
    }

    std::vector<std::uint64_t> take() {
        if (!range_)
            failAtLine(keywordLine_, "$DATA: without its first and last channel");
        if (counts_.size() != expected_)
            failAtLine(lastLine_, "$DATA: announces channels " + std::to_string(first_) + " to " +
                                      std::to_string(expected_ - 1) + " but holds " +
                                      std::to_string(counts_.size() - first_) + " counts");
        return std::move(counts_);
    }

private:
    void readRange(std::size_t number, std::string_view text) {
        BlankCursor pieces(text);
        std::string_view bounds[3];
        std::size_t n = 0;
        while (n < 3 && pieces.next(bounds[n]))
            ++n;
        const auto first = n == 2 ? parseCount(bounds[0]) : std::nullopt;
        const auto last = n == 2 ? parseCount(bounds[1]) : std::nullopt;
        if (!first || !last || *first > *last)
            failAtLine(number, quoted(text) + " is not a first and a last channel");
        if (*last >= MaxFileChannels)
            failAtLine(number, "more than " + std::to_string(MaxFileChannels) + " channels");
        // Channels below the first are empty.
        first_ = static_cast<std::size_t>(*first);
        expected_ = static_cast<std::size_t>(*last + 1);
        counts_.assign(first_, 0);
        range_ = true;
        lastLine_ = number;
    }

    std::size_t keywordLine_;
    std::size_t lastLine_;
    bool range_ = false;
    std::size_t first_ = 0;
    std::size_t expected_ = 0;
    std::vector<std::uint64_t> counts_;
};

// The numbers at the start of a line (a unit such as "keV" after them ends them), at most
// MaxCoefficients: a longer line is no calibration, and a line of a million zeroes is never
// gathered or read to its end.
std::vector<double> numbersOf(std::string_view line) {
    std::vector<double> numbers;
    BlankCursor pieces(line);
    for (std::string_view piece; numbers.size() < MaxCoefficients && pieces.next(piece);) {
        const auto value = parseNumber(piece);
        if (!value)
            break;
        numbers.push_back(*value);
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
    MeasuredSpectrum result;
    std::vector<std::string_view> remarks;
    std::size_t remarkLines = 0;
    std::optional<EnergyCalibration> fit;
    std::optional<EnergyCalibration> mcaCal;
    bool haveData = false;
    bool haveMcaCal = false;

    // Blocks are read line by line as they pass: a file of nothing but keywords or remarks
    // costs no memory beyond what is kept.
    std::string_view key;
    std::size_t keyLine = 0;
    std::size_t linesInBlock = 0; // the non-empty ones so far
    std::optional<DataBlock> data;
    bool measTimesSeen = false;
    auto endBlock = [&]() {
        if (data) {
            result.counts = data->take();
            data.reset();
            haveData = true;
        }
        if (key == "$MEAS_TIM:" && !measTimesSeen)
            addNote(notes, "$MEAS_TIM: on line " + std::to_string(keyLine) +
                               " does not hold a live and a real time; they were left out.");
    };

    LineCursor lines(text);
    for (std::string_view line; lines.next(line);) {
        const std::size_t number = lines.number();
        // A keyword starts its line; text of a block that begins with '$' is written
        // indented, so a title can never be taken for a keyword.
        const std::string_view trimmed = trim(line);
        if (!line.empty() && line.front() == '$') {
            endBlock();
            key = trimmed;
            keyLine = number;
            linesInBlock = 0;
            measTimesSeen = false;
            if (key == "$DATA:") {
                if (haveData)
                    addNote(notes,
                            "The file holds more than one $DATA: block; the first was read.");
                else
                    data.emplace(number);
            } else if (key == "$MCA_CAL:") {
                haveMcaCal = true;
                mcaCal.reset();
            } else if (key == "$ENER_FIT:") {
                fit.reset();
            }
            continue;
        }
        if (keyLine == 0) {
            if (trimmed.empty())
                continue;
            failAtLine(number, "not an SPE file: " + quoted(trimmed) +
                                   " comes before any block such as $SPEC_ID:");
        }
        if (key == "$SPEC_REM:") {
            if (!trimmed.empty() && ++remarkLines <= MaxRemarks)
                remarks.push_back(trimmed);
            continue;
        }
        if (data) {
            data->add(number, line);
            continue;
        }
        if (trimmed.empty())
            continue;
        ++linesInBlock;
        if (key == "$SPEC_ID:" && linesInBlock == 1) {
            result.title = std::string(trimmed);
        } else if (key == "$DATE_MEA:" && linesInBlock == 1) {
            if (const auto start = parseSpeDate(line))
                result.measurement.startUtcMs = *start;
            else
                addNote(notes, "The date " + quoted(trimmed) + " on line " +
                                   std::to_string(number) +
                                   " is not MM/DD/YYYY hh:mm:ss; it was left out.");
        } else if (key == "$MEAS_TIM:" && linesInBlock == 1) {
            const auto times = numbersOf(line);
            if (times.size() >= 2 && times[0] >= 0.0 && times[1] >= 0.0) {
                result.measurement.liveSeconds = times[0];
                result.measurement.realSeconds = times[1];
                measTimesSeen = true;
            }
        } else if (key == "$ENER_FIT:" && linesInBlock == 1) {
            fit = calibrationFromFile(numbersOf(line));
        } else if (key == "$MCA_CAL:" && linesInBlock == 2) {
            // The first line gives how many coefficients follow.
            mcaCal = calibrationFromFile(numbersOf(line));
        }
        // Every other block ($ROI:, $PRESETS:, $SHAPE_CAL: ...) is of no use here.
    }
    endBlock();
    if (!haveData)
        failAtLine(1, "no $DATA: block");
    result.calibration = haveMcaCal ? mcaCal : fit;
    for (const std::string_view r : remarks) {
        if (!readRemark(r, result) && !r.empty())
            result.remarks.emplace_back(r);
    }
    if (remarkLines > MaxRemarks)
        addNote(notes, remarksLeftOutNote(remarkLines));
    // The interface's description standing in for a missing title is no title.
    const std::string& description = result.measurement.operatingPoint.interfaceDescription;
    if (!description.empty() && result.title == trim(oneLine(description)))
        result.title.clear();
    return result;
}

} // namespace tarvio
