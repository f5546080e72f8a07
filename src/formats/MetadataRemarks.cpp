#include "formats/MetadataRemarks.h"

#include "formats/FormatText.h"

#include <limits>
#include <optional>

namespace tarvio {

namespace {

constexpr std::string_view Interface = "Interface";
constexpr std::string_view Chips = "Chip identifiers";
constexpr std::string_view Bias = "Bias voltage";
constexpr std::string_view Threshold = "Threshold voltage";
constexpr std::string_view Delay = "Delay";
constexpr std::string_view Samples = "Samples per pulse";
constexpr std::string_view Processing = "Pulse processing";
constexpr std::string_view Rejected = "Rejected pulses";

// "12 (saturated 1, pile-up 10, shape 1)".
std::string rejectedText(const RejectedPulses& r) {
    return std::to_string(r.total) + " (saturated " + std::to_string(r.saturated) + ", pile-up " +
           std::to_string(r.pileUp) + ", shape " + std::to_string(r.shape) + ")";
}

bool readRejected(std::string_view value, RejectedPulses& rejected) {
    RejectedPulses r;
    std::string words;
    for (char c : value)
        words += (c == '(' || c == ')' || c == ',') ? ' ' : c;
    const auto pieces = splitBlanks(words);
    if (pieces.size() != 7)
        return false;
    const auto total = parseCount(pieces[0]);
    if (!total)
        return false;
    r.total = *total;
    const std::pair<std::string_view, std::uint64_t*> fields[] = {
        {"saturated", &r.saturated}, {"pile-up", &r.pileUp}, {"shape", &r.shape}};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto count = parseCount(pieces[2 + 2 * i]);
        if (pieces[1 + 2 * i] != fields[i].first || !count)
            return false;
        *fields[i].second = *count;
    }
    rejected = r;
    return true;
}

std::string withUnit(double value, std::string_view unit) {
    return numberText(value) + " " + std::string(unit);
}

// "50 V" with the unit given; the unit may be left out.
std::optional<double> valueWithUnit(std::string_view text, std::string_view unit) {
    text = trim(text);
    if (text.size() > unit.size() && text.substr(text.size() - unit.size()) == unit)
        text = trim(text.substr(0, text.size() - unit.size()));
    return parseNumber(text);
}

bool readSeconds(std::string_view value, std::optional<double>& field) {
    if (equalsNoCase(value, UnknownValue)) {
        field.reset();
        return true;
    }
    const auto seconds = valueWithUnit(value, "s");
    if (!seconds || *seconds < 0.0)
        return false;
    field = *seconds;
    return true;
}

bool readVolts(std::string_view value, std::optional<double>& field) {
    const auto volts = valueWithUnit(value, "V");
    if (!volts)
        return false;
    field = *volts;
    return true;
}

bool readCalibration(std::string_view value, MeasuredSpectrum& spectrum) {
    if (equalsNoCase(value, NoCalibrationValue)) {
        spectrum.calibration.reset();
        return true;
    }
    BlankCursor pieces(value);
    std::vector<double> c;
    for (std::string_view piece; c.size() < 3 && pieces.next(piece);) {
        const auto number = parseNumber(piece);
        if (!number)
            return false;
        c.push_back(*number);
    }
    const auto calibration = calibrationFromFile(std::move(c));
    if (!calibration)
        return false;
    spectrum.calibration = calibration;
    return true;
}

} // namespace

std::string remarksLeftOutNote(std::size_t total) {
    return "The file holds " + std::to_string(total) + " remarks; the first " +
           std::to_string(MaxRemarks) + " were read.";
}

std::string remark(std::string_view key, std::string_view value) {
    return std::string(key) + ": " + oneLine(value);
}

std::vector<std::string> operatingPointRemarks(const MeasurementInfo& info) {
    const OperatingPoint& op = info.operatingPoint;
    std::vector<std::string> remarks;
    if (!op.interfaceDescription.empty())
        remarks.push_back(remark(Interface, op.interfaceDescription));
    if (!op.chipIdentifiers.empty())
        remarks.push_back(remark(Chips, op.chipIdentifiers));
    if (op.biasVolts)
        remarks.push_back(remark(Bias, withUnit(*op.biasVolts, "V")));
    if (op.thresholdVolts)
        remarks.push_back(remark(Threshold, withUnit(*op.thresholdVolts, "V")));
    if (op.delaySeconds)
        remarks.push_back(remark(Delay, withUnit(*op.delaySeconds, "s")));
    if (op.samplesPerPulse)
        remarks.push_back(remark(Samples, std::to_string(*op.samplesPerPulse)));
    if (!info.processing.empty()) {
        remarks.push_back(remark(Processing, info.processing));
        remarks.push_back(remark(Rejected, rejectedText(info.rejected)));
    }
    remarks.push_back(remark(remark_keys::Ended, info.ended ? "yes" : "no"));
    return remarks;
}

bool readRemark(std::string_view raw, MeasuredSpectrum& spectrum) {
    // Read as every writer writes it: on one line, without control characters.
    const std::string line = oneLine(raw);
    const std::string_view text = line;
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return false;
    const std::string_view key = trim(text.substr(0, colon));
    const std::string_view value = trim(text.substr(colon + 1));
    MeasurementInfo& info = spectrum.measurement;
    OperatingPoint& op = info.operatingPoint;

    if (key == remark_keys::Title) {
        spectrum.title = std::string(value);
        return true;
    }
    if (key == remark_keys::Start) {
        if (equalsNoCase(value, UnknownValue)) {
            info.startUtcMs.reset();
            return true;
        }
        const auto start = parseDateTime(value);
        if (!start)
            return false;
        info.startUtcMs = start->utcMs;
        return true;
    }
    if (key == remark_keys::RealTime)
        return readSeconds(value, info.realSeconds);
    if (key == remark_keys::LiveTime)
        return readSeconds(value, info.liveSeconds);
    if (key == remark_keys::Calibration)
        return readCalibration(value, spectrum);
    if (key == remark_keys::Ended) {
        if (value != "yes" && value != "no")
            return false;
        info.ended = value == "yes";
        return true;
    }
    if (key == Interface) {
        op.interfaceDescription = std::string(value);
        return true;
    }
    if (key == Chips) {
        op.chipIdentifiers = std::string(value);
        return true;
    }
    if (key == Bias)
        return readVolts(value, op.biasVolts);
    if (key == Threshold)
        return readVolts(value, op.thresholdVolts);
    if (key == Delay)
        return readSeconds(value, op.delaySeconds);
    if (key == Samples) {
        const auto samples = parseCount(value);
        if (!samples || *samples > std::numeric_limits<std::uint32_t>::max())
            return false;
        op.samplesPerPulse = static_cast<std::uint32_t>(*samples);
        return true;
    }
    if (key == Processing) {
        info.processing = std::string(value);
        return true;
    }
    if (key == Rejected)
        return readRejected(value, info.rejected);
    return false;
}

} // namespace tarvio
