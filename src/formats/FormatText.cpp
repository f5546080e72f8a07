#include "formats/FormatText.h"

#include "records/TextFormat.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <utility>

namespace tarvio {

namespace {

constexpr double MaxExactCount = 9007199254740992.0; // 2^53: every whole double below is exact

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool isSpace(char c) {
    return isBlank(c) || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Exactly `width` digits at text[at...]; advances at.
std::optional<int> fixedDigits(std::string_view text, std::size_t& at, std::size_t width) {
    if (text.size() < at + width)
        return std::nullopt;
    int value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        const char c = text[at + i];
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    at += width;
    return value;
}

bool expect(std::string_view text, std::size_t& at, char c) {
    if (at >= text.size() || text[at] != c)
        return false;
    ++at;
    return true;
}

} // namespace

void appendEnergy(std::string& out, double energy, std::size_t channel) {
    constexpr int EnergyDecimals = 4;
    if (!appendFixed(out, energy, EnergyDecimals))
        throw WriteError("the energy of channel " + std::to_string(channel) +
                         " is not a finite number");
}

void failAtLine(std::size_t line, const std::string& what) {
    throw ParseError("line " + std::to_string(line) + ": " + what);
}

void failAtElement(std::string_view element, const std::string& what) {
    throw ParseError("element <" + std::string(element) + ">: " + what);
}

std::string quoted(std::string_view text) {
    constexpr std::size_t MaxShown = 40;
    std::string shown;
    for (std::size_t i = 0; i < text.size() && i < MaxShown; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        shown += c == '\t' ? ' ' : c < 0x20 || c == 0x7F ? '?' : static_cast<char>(c);
    }
    if (text.size() > MaxShown)
        shown += "...";
    return "'" + shown + "'";
}

std::string numberText(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string();
}

std::string secondsText(double seconds) {
    return formatFixed(seconds, 3);
}

std::optional<double> parseNumber(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || text.front() == '+')
        return std::nullopt;
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::uint64_t> parseCount(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || text.front() == '+')
        return std::nullopt;
    bool allDigits = true;
    for (const char c : text)
        allDigits = allDigits && isDigit(c);
    if (allDigits) {
        std::uint64_t value = 0;
        const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
        if (result.ec != std::errc() || result.ptr != text.data() + text.size())
            return std::nullopt;
        return value;
    }
    const auto number = parseNumber(text);
    if (!number || *number < 0.0 || *number >= MaxExactCount || std::floor(*number) != *number)
        return std::nullopt;
    return static_cast<std::uint64_t>(*number);
}

std::string utcText(std::int64_t utcMs) {
    using namespace std::chrono;
    const sys_time<milliseconds> time{milliseconds{utcMs}};
    const sys_days day = floor<days>(time);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> clock{time - day};
    char buffer[48];
    std::snprintf(
        buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
        static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
        static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
        static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
    return buffer;
}

std::optional<ParsedDateTime> parseDateTime(std::string_view text) {
    using namespace std::chrono;
    text = trim(text);
    std::size_t at = 0;
    const auto y = fixedDigits(text, at, 4);
    if (!y || !expect(text, at, '-'))
        return std::nullopt;
    const auto mo = fixedDigits(text, at, 2);
    if (!mo || !expect(text, at, '-'))
        return std::nullopt;
    const auto d = fixedDigits(text, at, 2);
    if (!d || !expect(text, at, 'T'))
        return std::nullopt;
    const auto h = fixedDigits(text, at, 2);
    if (!h || !expect(text, at, ':'))
        return std::nullopt;
    const auto mi = fixedDigits(text, at, 2);
    if (!mi || !expect(text, at, ':'))
        return std::nullopt;
    const auto s = fixedDigits(text, at, 2);
    if (!s)
        return std::nullopt;
    double fraction = 0.0;
    if (at < text.size() && text[at] == '.') {
        const std::size_t begin = at;
        ++at;
        while (at < text.size() && isDigit(text[at]))
            ++at;
        if (at == begin + 1)
            return std::nullopt;
        fraction = parseNumber("0" + std::string(text.substr(begin, at - begin))).value_or(0.0);
    }
    const year_month_day date{year{*y}, month{static_cast<unsigned>(*mo)},
                              day{static_cast<unsigned>(*d)}};
    if (!date.ok() || *h > 23 || *mi > 59 || *s > 60)
        return std::nullopt;

    ParsedDateTime parsed;
    std::int64_t offsetMinutes = 0;
    if (at == text.size()) {
        parsed.hadZone = false;
    } else if (text[at] == 'Z' && at + 1 == text.size()) {
        ++at;
    } else if (text[at] == '+' || text[at] == '-') {
        const int sign = text[at] == '-' ? -1 : 1;
        ++at;
        const auto oh = fixedDigits(text, at, 2);
        if (!oh || !expect(text, at, ':'))
            return std::nullopt;
        const auto om = fixedDigits(text, at, 2);
        if (!om || at != text.size() || *oh > 14 || *om > 59)
            return std::nullopt;
        offsetMinutes = sign * (*oh * 60 + *om);
    } else {
        return std::nullopt;
    }
    const std::int64_t dayMs = sys_days{date}.time_since_epoch().count() * 86400000LL;
    // A leap second is held as the last millisecond of its minute.
    const std::int64_t secondMs =
        *s == 60 ? 59999 : *s * 1000LL + static_cast<std::int64_t>(std::llround(fraction * 1000));
    parsed.utcMs = dayMs + (*h * 60LL + *mi - offsetMinutes) * 60000LL + secondMs;
    return parsed;
}

std::string durationText(double seconds) {
    return "PT" + secondsText(seconds) + "S";
}

std::optional<double> parseDuration(std::string_view text) {
    text = trim(text);
    if (text.size() < 3 || text.front() != 'P')
        return std::nullopt;
    std::size_t at = 1;
    bool inTime = false;
    bool any = false;
    double total = 0.0;
    std::string_view units = "DHMS"; // what may still follow, in order
    while (at < text.size()) {
        if (text[at] == 'T') {
            if (inTime || at + 1 == text.size())
                return std::nullopt;
            inTime = true;
            units = "HMS";
            ++at;
            continue;
        }
        const std::size_t begin = at;
        while (at < text.size() && (isDigit(text[at]) || text[at] == '.'))
            ++at;
        if (at == begin || at == text.size())
            return std::nullopt;
        const auto value = parseNumber(text.substr(begin, at - begin));
        const char unit = text[at++];
        const std::size_t position = units.find(unit);
        if (!value || position == std::string_view::npos || (unit == 'D') == inTime)
            return std::nullopt;
        units.remove_prefix(position + 1);
        total += *value * (unit == 'D' ? 86400.0 : unit == 'H' ? 3600.0 : unit == 'M' ? 60.0 : 1.0);
        any = true;
    }
    if (!any || !std::isfinite(total))
        return std::nullopt;
    return total;
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string oneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    }
    return line;
}

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    LineCursor cursor(text);
    for (std::string_view line; cursor.next(line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string_view> splitBlanks(std::string_view text) {
    std::vector<std::string_view> pieces;
    BlankCursor cursor(text);
    for (std::string_view piece; cursor.next(piece);)
        pieces.push_back(piece);
    return pieces;
}

bool LineCursor::next(std::string_view& line) {
    if (at_ >= text_.size())
        return false;
    std::size_t end = at_;
    while (end < text_.size() && text_[end] != '\n' && text_[end] != '\r')
        ++end;
    ++number_;
    line = text_.substr(at_, end - at_);
    if (end == text_.size()) {
        at_ = end;
        return true;
    }
    at_ = end + (text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n' ? 2 : 1);
    return true;
}

bool BlankCursor::next(std::string_view& piece) {
    while (at_ < text_.size() && isSpace(text_[at_]))
        ++at_;
    if (at_ >= text_.size())
        return false;
    const std::size_t begin = at_;
    while (at_ < text_.size() && !isSpace(text_[at_]))
        ++at_;
    piece = text_.substr(begin, at_ - begin);
    return true;
}

void addNote(std::vector<std::string>& notes, std::string note) {
    if (notes.size() >= MaxNotes)
        return;
    for (const std::string& n : notes) {
        if (n == note)
            return;
    }
    notes.push_back(std::move(note));
}

} // namespace tarvio
