#include "settings/Duration.h"

#include "settings/NumberFormat.h"

#include <cmath>
#include <cstdio>
#include <vector>

namespace tarvio {

namespace {

constexpr double SecondsPerMinute = 60;
constexpr double SecondsPerHour = 3600;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool allDigits(std::string_view text) {
    if (text.empty())
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    return true;
}

} // namespace

std::string formatClock(double seconds) {
    const double whole = std::isfinite(seconds) && seconds > 0 ? std::floor(seconds) : 0.0;
    const double hours = std::floor(whole / SecondsPerHour);
    const double rest = whole - hours * SecondsPerHour;
    const int minutes = static_cast<int>(rest / SecondsPerMinute);
    const int secs = static_cast<int>(rest - minutes * SecondsPerMinute);
    char text[48];
    std::snprintf(text, sizeof text, "%02.0f:%02d:%02d", hours, minutes, secs);
    return text;
}

std::string formatElapsed(double seconds) {
    return formatClock(std::isfinite(seconds) ? std::round(seconds * 1000.0) / 1000.0 : seconds);
}

std::optional<double> tryParseDuration(std::string_view text) {
    text = trimmed(text);
    std::vector<std::string_view> parts;
    for (std::size_t colon; (colon = text.find(':')) != std::string_view::npos;) {
        parts.push_back(text.substr(0, colon));
        text.remove_prefix(colon + 1);
    }
    parts.push_back(text);
    if (parts.size() > 3)
        return std::nullopt;

    // The last part holds the seconds, perhaps with a fraction; the others whole numbers.
    const auto seconds = tryParseFloatOrPoint(parts.back());
    if (!seconds || *seconds < 0 || (parts.size() > 1 && *seconds >= SecondsPerMinute) ||
        trimmed(parts.back()).size() != parts.back().size())
        return std::nullopt;
    double total = *seconds;
    double unit = SecondsPerMinute;
    for (std::size_t i = parts.size() - 1; i-- > 0; unit *= SecondsPerMinute) {
        if (!allDigits(parts[i]))
            return std::nullopt;
        const double value = std::stod(std::string(parts[i]));
        // Minutes below an hour count stay below 60; the leading part may be any size.
        if (i > 0 && value >= SecondsPerMinute)
            return std::nullopt;
        total += value * unit;
    }
    if (!std::isfinite(total))
        return std::nullopt;
    return total;
}

std::string formatDuration(double seconds) {
    if (seconds >= SecondsPerMinute && seconds == std::floor(seconds) && seconds < 1e12) {
        std::string clock = formatClock(seconds);
        // 01:30:00 reads as 1:30:00.
        if (clock.size() > 1 && clock.front() == '0')
            clock.erase(0, 1);
        return clock;
    }
    return formatGeneral(seconds);
}

} // namespace tarvio
