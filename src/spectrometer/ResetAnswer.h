#pragma once
// Parsing of the line an interface sends after a global reset: one or more on-line prefixes,
// then a report of the connected chips, plain ("Medipix chips: 1 Ready") or typed
// ("Medipix TPX chips: 2 Medipix chips: 2 Ready").

#include <cstdint>

namespace tarvio {

// The prefix the interface repeats once per internal retry, trailing blank included.
inline constexpr char OnLinePrefix[] = "!Unit is on line. ";

struct ResetAnswer {
    enum class Kind {
        NoPrefix,  // the line does not begin with the on-line prefix
        Malformed, // prefix present, chip report not understood
        Plain,     // plain Medipix2 board
        Typed,     // board with a typed chip report
    };
    Kind kind = Kind::NoPrefix;
    int retries = 0;            // prefixes after the first one
    std::uint8_t chipCount = 0; // low 8 bits of the reported number
    char type[4] = {};          // the three type characters of a typed report
};

// `line` is the answer without its carriage return, NUL-terminated.
ResetAnswer ParseResetAnswer(const char* line);

} // namespace tarvio
