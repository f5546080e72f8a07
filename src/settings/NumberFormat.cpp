#include "settings/NumberFormat.h"

#include "settings/AppError.h"

#include <atomic>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace tarvio {

namespace {

constexpr int significantDigits = 15;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

namespace {
std::atomic<DecimalSeparatorSource> separatorSource{nullptr};
} // namespace

void setDecimalSeparatorSource(DecimalSeparatorSource source) {
    separatorSource.store(source);
}

char decimalSeparator() {
    if (const DecimalSeparatorSource source = separatorSource.load())
        return source();
    const std::lconv* conventions = std::localeconv();
    const char* point = conventions ? conventions->decimal_point : nullptr;
    if (point && point[0] != '\0' && point[1] == '\0' &&
        static_cast<unsigned char>(point[0]) < 0x80)
        return point[0];
    return '.';
}

std::string formatGeneral(double value, char separator) {
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0"; // also for -0

    // d.dddddddddddddde±x, rounded to 15 significant digits, locale-independent.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::scientific, significantDigits - 1);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t ePos = text.find('e');
    std::string digits;
    for (char c : text.substr(0, ePos))
        if (isDigit(c))
            digits += c;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int exponent = std::atoi(std::string(text.substr(ePos + 1)).c_str());

    std::string out = value < 0 ? "-" : "";
    if (exponent < -5 || exponent >= significantDigits) {
        out += digits[0];
        if (digits.size() > 1) {
            out += separator;
            out.append(digits, 1);
        }
        out += 'E';
        out += std::to_string(exponent);
        return out;
    }
    if (exponent < 0) {
        out += '0';
        out += separator;
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out += digits;
        return out;
    }
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= integerDigits) {
        out += digits;
        out.append(integerDigits - digits.size(), '0');
    } else {
        out.append(digits, 0, integerDigits);
        out += separator;
        out.append(digits, integerDigits);
    }
    return out;
}

std::string formatGeneral(double value) {
    return formatGeneral(value, decimalSeparator());
}

std::optional<double> tryParseFloat(std::string_view text, char separator) {
    text = trimBlanks(text);
    // Check the shape ourselves: from_chars alone would take "inf", "nan", hex floats and
    // a point where the locale wants a comma.
    std::string normal;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        if (text[i] == '-')
            normal += '-';
        ++i;
    }
    std::size_t mantissaDigits = 0;
    while (i < text.size() && isDigit(text[i])) {
        normal += text[i++];
        ++mantissaDigits;
    }
    if (i < text.size() && text[i] == separator) {
        normal += '.';
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            normal += text[i++];
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        normal += 'e';
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            normal += text[i++];
        std::size_t exponentDigits = 0;
        while (i < text.size() && isDigit(text[i])) {
            normal += text[i++];
            ++exponentDigits;
        }
        if (exponentDigits == 0)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;

    double value = 0;
    const auto result = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (result.ec != std::errc() || result.ptr != normal.data() + normal.size() ||
        !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> tryParseFloat(std::string_view text) {
    return tryParseFloat(text, decimalSeparator());
}

double parseFloat(std::string_view text) {
    if (auto value = tryParseFloat(text))
        return *value;
    throw AppError("'" + std::string(text) + "' is not a valid floating point value");
}

std::optional<double> tryParseFloatOrPoint(std::string_view text) {
    if (auto value = tryParseFloat(text))
        return value;
    return tryParseFloat(text, '.');
}

int takeRadixPrefix(std::string_view& text) {
    if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
        return 16;
    }
    if (text.starts_with('$')) {
        text.remove_prefix(1);
        return 16;
    }
    return 10;
}

std::optional<std::int32_t> tryParseInt(std::string_view text) {
    text = trimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const int base = takeRadixPrefix(text);
    if (text.empty())
        return std::nullopt;
    // One above INT32_MAX so that -2147483648 fits.
    const std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    std::int64_t magnitude = 0;
    for (char c : text) {
        const int digit = base == 16 ? hexValue(c) : (isDigit(c) ? c - '0' : -1);
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    if (!negative && magnitude == limit)
        return std::nullopt;
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::int32_t parseInt(std::string_view text) {
    if (auto value = tryParseInt(text))
        return *value;
    throw AppError("'" + std::string(text) + "' is not a valid integer value");
}

std::optional<std::uint64_t> tryParseUInt64(std::string_view text) {
    text = trimBlanks(text);
    const int base = takeRadixPrefix(text);
    std::uint64_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::int32_t truncToInt(double value) {
    if (std::isnan(value))
        return 0;
    if (value >= 2147483647.0)
        return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

} // namespace tarvio
