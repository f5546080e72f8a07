#include "cli/AcquireProgress.h"

#include "cli/Console.h"
#include "records/TextFormat.h"
#include "settings/Duration.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tarvio {

namespace {

nlohmann::json orNull(const std::optional<double>& value) {
    return value ? nlohmann::json(*value) : nlohmann::json(nullptr);
}

} // namespace

void ProgressCadence::begin(double now) {
    nextStatus_ = now + StatusSeconds;
    nextProgress_ = now;
}

void ProgressCadence::report(const AcquireProgress& progress, double now) {
    if (json_) {
        if (now >= nextStatus_) {
            out_ << statusJson(progress).dump() << '\n' << std::flush;
            nextStatus_ += StatusSeconds *
                           std::max(1.0, std::floor((now - nextStatus_) / StatusSeconds + 1.0));
        }
        return;
    }
    if (now >= nextProgress_) {
        console_.progress(progressText(progress));
        nextProgress_ = now + (console_.terminal() ? TerminalSeconds : PlainLineSeconds);
    }
}

AcquireProgress progressOf(const MeasurementStatus& status, double elapsed) {
    AcquireProgress p;
    p.elapsed = elapsed;
    p.realSeconds = status.info.realSeconds;
    p.liveSeconds = status.info.liveSeconds;
    p.counts = status.info.acceptedCount;
    p.acceptedRate = status.rates.accepted;
    p.acceptedNow = status.slidingRate;
    p.inputRate = status.rates.input;
    p.state = MeasurementStateName(status.state);
    p.presetFraction = status.presetFraction;
    p.secondsLeft = status.presetSecondsLeft;
    return p;
}

std::string progressText(const AcquireProgress& p) {
    std::string text = formatClock(p.realSeconds.value_or(p.elapsed)) + "  " +
                       std::to_string(p.counts) + " counts";
    if (p.acceptedRate)
        text += "  " + formatFixed(*p.acceptedRate, 1) + "/s accepted";
    if (p.inputRate)
        text += "  " + formatFixed(*p.inputRate, 1) + "/s input";
    if (p.presetFraction) {
        text += "  " + std::to_string(static_cast<int>(std::floor(*p.presetFraction * 100.0))) +
                "% done";
        if (p.secondsLeft)
            text += ", " + formatClock(std::ceil(*p.secondsLeft)) + " left";
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
