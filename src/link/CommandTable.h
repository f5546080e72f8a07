#pragma once
// The interface's command codes, the shape of each command's response and the names used in
// every protocol message.

#include <cstdint>

namespace tarvio {

// Response types: a positive value N is a fixed body of N bytes.
enum : std::int32_t {
    OkOnly = 0,
    StringParameter = -1,
    FrameStream = -2,
    TimedFrameStream = -3,
    ScopeData = -4,
    ChipIdList = -5,
    UnknownResponseType = -1000,
};

struct CommandInfo {
    std::uint8_t code;
    std::int32_t responseType;
    std::int32_t paramBytes; // -2: a frame stream
    const char* name;
};

constexpr int CommandCount = 73;
// The rows in table order, followed by the closing row whose code is 0.
extern const CommandInfo CommandTable[CommandCount + 1];

// The first row with the code, or none.
const CommandInfo* FindCommand(std::uint8_t code);
// The row's response type, or UnknownResponseType.
std::int32_t ResponseTypeOf(std::uint8_t code);
// The row's name; for a missing code "Unknown command [x]" with the code as a character
// (0x21..0x7F) or two hex digits. That text lives in a per-thread buffer and stays valid until
// the same thread names the next missing code.
const char* CommandName(std::uint8_t code);

} // namespace tarvio
