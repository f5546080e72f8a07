#include "analysis/SourceRemark.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace tarvio {

namespace {

constexpr std::string_view Prefix = "Source: ";

std::optional<double> number(std::string_view text) {
    double value = 0.0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value) || value <= 0.0)
        return std::nullopt;
    return value;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '.'))
        s.remove_suffix(1);
    return s;
}

// "YYYY-MM-DD" or "YYYY-MM-DDThh:mm:ss" with an optional Z, as UTC.
std::optional<std::int64_t> utcDate(std::string_view text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    const std::string t(trim(text));
    const int read = std::sscanf(t.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &y, &mo, &d, &h, &mi, &s);
    if (read != 3 && read != 6)
        return std::nullopt;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    return static_cast<std::int64_t>(timegm(&tm)) * 1000;
}

} // namespace

std::string sourceRemark(const std::string& nuclide, double activityBq) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6g", activityBq);
    return std::string(Prefix) + nuclide + ", " + text + " Bq";
}

std::optional<SourceNote> parseSourceRemark(const std::string& remark) {
    std::string_view r(remark);
    if (r.substr(0, Prefix.size()) != Prefix)
        return std::nullopt;
    r.remove_prefix(Prefix.size());
    const auto comma = r.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    SourceNote note;
    note.nuclide = std::string(trim(r.substr(0, comma)));
    std::string_view rest = trim(r.substr(comma + 1));
    const auto bq = rest.find(" Bq");
    if (bq == std::string_view::npos || note.nuclide.empty())
        return std::nullopt;
    const auto activity = number(trim(rest.substr(0, bq)));
    if (!activity)
        return std::nullopt;
    note.activityBq = *activity;
    rest = trim(rest.substr(bq + 3));
    if (rest.substr(0, 3) == "at ") {
        note.referenceUtcMs = utcDate(rest.substr(3));
        if (!note.referenceUtcMs)
            return std::nullopt;
    }
    return note;
}

std::optional<SourceNote> findSourceRemark(const std::vector<std::string>& remarks) {
    for (const std::string& r : remarks)
        if (auto note = parseSourceRemark(r))
            return note;
    return std::nullopt;
}

std::optional<SourceNote> parseSourceArgument(const std::string& text) {
    const auto colon = text.find(':');
    if (colon == std::string::npos || colon == 0)
        return std::nullopt;
    SourceNote note;
    note.nuclide = text.substr(0, colon);
    std::string_view rest = std::string_view(text).substr(colon + 1);
    const auto at = rest.find('@');
    const auto activity = number(rest.substr(0, at));
    if (!activity)
        return std::nullopt;
    note.activityBq = *activity;
    if (at != std::string_view::npos) {
        note.referenceUtcMs = utcDate(rest.substr(at + 1));
        if (!note.referenceUtcMs)
            return std::nullopt;
    }
    return note;
}

} // namespace tarvio
