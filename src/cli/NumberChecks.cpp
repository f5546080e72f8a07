#include "cli/NumberChecks.h"

#include "formats/FormatText.h"

#include <charconv>
#include <cstdint>
#include <string>
#include <utility>

namespace tarvio {

namespace {

bool isWhole(std::string_view text) {
    text = trim(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size();
}

CLI::Validator check(std::function<std::string(std::string&)> test) {
    return CLI::Validator(std::move(test), "");
}

} // namespace

CLI::Validator finiteNumber() {
    return check([](std::string& text) -> std::string {
        return parseNumber(trim(text)) ? std::string() : "'" + text + "' is not a finite number";
    });
}

CLI::Validator finiteAboveZero() {
    return check([](std::string& text) -> std::string {
        const auto value = parseNumber(trim(text));
        return value && *value > 0.0 ? std::string()
                                     : "'" + text + "' is not a finite number above 0";
    });
}

CLI::Validator wholeNumber() {
    return check([](std::string& text) -> std::string {
        return isWhole(text)
                   ? std::string()
                   : "'" + text + "' is not a whole number from 0 to " + std::to_string(UINT64_MAX);
    });
}

} // namespace tarvio
