#include "spectrometer/ResetAnswer.h"

#include <cstdio>
#include <cstring>

namespace tarvio {

ResetAnswer ParseResetAnswer(const char* line) {
    ResetAnswer answer;
    const std::size_t prefixLength = sizeof OnLinePrefix - 1;
    if (std::strncmp(line, OnLinePrefix, prefixLength) != 0) {
        return answer;
    }
    const char* rest = line + prefixLength;
    while (std::strncmp(rest, OnLinePrefix, prefixLength) == 0) {
        rest += prefixLength;
        ++answer.retries;
    }

    int count = 0;
    if (std::sscanf(rest, "Medipix chips: %d Ready", &count) == 1) {
        answer.kind = ResetAnswer::Kind::Plain;
        answer.chipCount = static_cast<std::uint8_t>(count);
        return answer;
    }
    char a = 0, b = 0, c = 0;
    int second = 0;
    if (std::sscanf(rest, "Medipix %c%c%c chips: %d Medipix chips: %d Ready", &a, &b, &c, &count,
                    &second) == 5) {
        answer.kind = ResetAnswer::Kind::Typed;
        answer.chipCount = static_cast<std::uint8_t>(count);
        answer.type[0] = a;
        answer.type[1] = b;
        answer.type[2] = c;
        return answer;
    }
    answer.kind = ResetAnswer::Kind::Malformed;
    return answer;
}

} // namespace tarvio
