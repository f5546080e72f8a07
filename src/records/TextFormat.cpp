#include "records/TextFormat.h"

#include <charconv>
#include <cmath>

namespace tarvio {

bool appendFixed(std::string& out, double value, int decimals) {
    if (!std::isfinite(value))
        return false;
    char buffer[400]; // the largest double in fixed notation has 309 integer digits
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (result.ec != std::errc())
        return false;
    out.append(buffer, result.ptr);
    return true;
}

std::string formatFixed(double value, int decimals) {
    std::string text;
    appendFixed(text, value, decimals);
    return text;
}

void appendDecimal(std::string& out, std::int64_t value) {
    char buffer[24];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

} // namespace tarvio
