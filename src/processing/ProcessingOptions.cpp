#include "processing/ProcessingOptions.h"

#include "processing/FitProcessor.h"

#include <charconv>

namespace tarvio {

namespace {

std::string lowered(std::string_view text) {
    std::string out;
    for (char c : text) {
        out += static_cast<char>((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c);
    }
    return out;
}

} // namespace

std::string toleranceText(double tolerance) {
    char number[32];
    const auto written =
        std::to_chars(number, number + sizeof number, tolerance, std::chars_format::general, 6);
    return std::string(number, written.ptr);
}

bool parseHeightMethod(std::string_view text, HeightMethod& method) {
    const std::string key = lowered(text);
    if (key == "largest") {
        method = HeightMethod::Largest;
    } else if (key == "fit") {
        method = HeightMethod::Fit;
    } else {
        return false;
    }
    return true;
}

const char* heightMethodName(HeightMethod method) {
    return method == HeightMethod::Fit ? "fit" : "largest";
}

bool parseRejections(std::string_view text, ProcessingOptions& options) {
    bool saturated = false, pileUp = false, shape = false;
    std::string word;
    auto take = [&]() {
        if (word.empty() || word == "none") {
        } else if (word == "all") {
            saturated = pileUp = shape = true;
        } else if (word == "saturated") {
            saturated = true;
        } else if (word == "pileup" || word == "pile-up") {
            pileUp = true;
        } else if (word == "shape") {
            shape = true;
        } else {
            return false;
        }
        word.clear();
        return true;
    };
    for (char c : lowered(text)) {
        if (c == ',' || c == ' ' || c == '\t') {
            if (!take()) {
                return false;
            }
            continue;
        }
        word += c;
    }
    if (!take()) {
        return false;
    }
    options.rejectSaturated = saturated;
    options.rejectPileUp = pileUp;
    options.rejectShape = shape;
    return true;
}

std::string rejectionNames(const ProcessingOptions& options) {
    std::string names;
    auto add = [&](bool on, const char* name) {
        if (on) {
            names += names.empty() ? "" : ",";
            names += name;
        }
    };
    add(options.rejectSaturated, "saturated");
    add(options.rejectPileUp, "pileup");
    add(options.rejectShape, "shape");
    return names.empty() ? "none" : names;
}

std::string processingDescription(const ProcessingOptions& options) {
    std::string text;
    if (options.method == HeightMethod::Largest) {
        text = "largest sample";
    } else if (!options.shape || options.shape->isBuiltIn()) {
        text = "template fit (built-in CR-RC shape)";
    } else {
        text = "template fit (shape learned from " + std::to_string(options.shape->learnedFrom()) +
               " pulses)";
    }
    if (options.rejectsAny()) {
        std::string list;
        auto add = [&](bool on, const char* name) {
            if (on) {
                list += list.empty() ? "" : ", ";
                list += name;
            }
        };
        add(options.rejectSaturated, "saturated");
        add(options.rejectPileUp, "pile-up");
        add(options.rejectShape, "shape");
        text += "; rejected: " + list;
        if (options.rejectPileUp || options.rejectShape) {
            text += " beyond " + toleranceText(options.tolerance) + " sigma";
        }
    }
    return text;
}

std::unique_ptr<PulseProcessor> makePulseProcessor(const ProcessingOptions& options) {
    if (options.isPlain()) {
        return nullptr;
    }
    return std::make_unique<FitProcessor>(options);
}

} // namespace tarvio
