#include "cli/AcquireProgress.h"

#include "records/TextFormat.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>

namespace tarvio {

namespace {

nlohmann::json orNull(const std::optional<double>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

} // namespace

std::string clockText(double seconds) {
    if (!(seconds > 0.0))
        seconds = 0.0;
    const auto whole = static_cast<std::uint64_t>(std::min(seconds, 1.0e15));
    const std::uint64_t days = whole / 86400;
    char text[64];
    std::snprintf(text, sizeof text, "%u:%02u:%02u", static_cast<unsigned>(whole / 3600 % 24),
                  static_cast<unsigned>(whole / 60 % 60), static_cast<unsigned>(whole % 60));
    return days > 0 ? std::to_string(days) + "d " + text : text;
}

std::string progressText(const AcquireProgress& p) {
    std::string text =
        clockText(p.realSeconds.value_or(p.elapsed)) + "  " + std::to_string(p.counts) + " counts";
    if (p.acceptedRate)
        text += "  " + formatFixed(*p.acceptedRate, 1) + "/s accepted";
    if (p.inputRate)
        text += "  " + formatFixed(*p.inputRate, 1) + "/s input";
    if (p.presetFraction) {
        text += "  " + std::to_string(static_cast<int>(std::floor(*p.presetFraction * 100.0))) +
                "% done";
        if (p.secondsLeft)
            text += ", " + clockText(std::ceil(*p.secondsLeft)) + " left";
    }
    if (!p.state.empty() && p.state != "Measuring")
        text += "  " + p.state;
    return text;
}

nlohmann::json statusJson(const AcquireProgress& p) {
    return {
        {"elapsed", p.elapsed},
        {"real", orNull(p.realSeconds)},
        {"live", orNull(p.liveSeconds)},
        {"counts", p.counts},
        {"rates",
         {{"accepted", orNull(p.acceptedRate)},
          {"accepted_now", orNull(p.acceptedNow)},
          {"input", orNull(p.inputRate)}}},
        {"state", p.state},
        {"preset_fraction", orNull(p.presetFraction)},
        {"seconds_left", orNull(p.secondsLeft)},
    };
}

} // namespace tarvio
