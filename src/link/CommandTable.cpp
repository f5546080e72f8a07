#include "link/CommandTable.h"

#include <array>
#include <cstdio>

namespace tarvio {

// clang-format off
const CommandInfo CommandTable[CommandCount + 1] = {
    {'_',  OkOnly,           0,  "Global reset"},
    {'i',  StringParameter,  0,  "Version info"},
    {'?',  StringParameter,  0,  "Command list"},
    {'|',  ChipIdList,       0,  "Chipboard ID"},
    {' ',  36,               0,  "Synchronisation packet"},
    {'+',  OkOnly,           0,  "Set trigger-out"},
    {'-',  OkOnly,           0,  "Reset trigger-out"},
    {'*',  OkOnly,           0,  "Invert trigger-out"},
    {'r',  OkOnly,           0,  "Reset Medipix"},
    {'R',  OkOnly,           0,  "Reset Medipix, Set default CMOS"},
    {'S',  OkOnly,           -2, "Set matrix"},
    {'E',  OkOnly,           0,  "Set default matrix (0xffff)"},
    {'e',  OkOnly,           0,  "Erase matrix"},
    {'m',  TimedFrameStream, 0,  "Read matrix"},
    {'f',  StringParameter,  0,  "FSR test"},
    {'d',  2,                33, "Set Medipix DACs"},
    {'o',  OkOnly,           0,  "Open shutter, interval measure init"},
    {'c',  OkOnly,           0,  "Close shutter, interval measure stop"},
    {'C',  TimedFrameStream, 0,  "Close shutter, interval measure stop, read matrix"},
    {'%',  6,                0,  "Interval measure"},
    {'0',  OkOnly,           0,  "Select FSR0"},
    {'1',  OkOnly,           0,  "Select FSR1"},
    {'p',  OkOnly,           0,  "Negative polarity"},
    {'P',  OkOnly,           0,  "Positive polarity"},
    {'n',  1,                0,  "CMOS settings"},
    {'O',  TimedFrameStream, 3,  "Generate test pulses, read matrix"},
    {'#',  1,                0,  "Get mumber of medipix chips"},
    {'3',  OkOnly,           1,  "Set Timepix clock"},
    {'x',  OkOnly,           0,  "Medipix power ON"},
    {'X',  OkOnly,           0,  "Medipix power OFF"},
    {'b',  OkOnly,           1,  "Set bias voltage"},
    {'B',  OkOnly,           0,  "Reset bias voltage"},
    {'M',  26,               0,  "ADC monitor"},
    {'a',  OkOnly,           0,  "Single shot scope"},
    {'A',  OkOnly,           4,  "Scope configure"},
    {'$',  ScopeData,        0,  "Scope data"},
    {'>',  OkOnly,           3,  "Set interface DAC"},
    {'y',  OkOnly,           0,  "Reset and start interval timer"},
    {'H',  OkOnly,           0,  "Reload and start interval timer"},
    {'Y',  OkOnly,           0,  "Stop interval timer"},
    {'Z',  OkOnly,           7,  "Setup interval timer"},
    {'z',  14,               0,  "State of interval timer"},
    {'g',  OkOnly,           0,  "Run single interval exposition"},
    {'h',  OkOnly,           0,  "Run multiple interval exposition"},
    {'G',  OkOnly,           0,  "Abort exposition"},
    {'u',  OkOnly,           0,  "Reload and start period timer"},
    {'U',  OkOnly,           0,  "Stop period timer"},
    {'V',  OkOnly,           7,  "Setup period timer"},
    {'v',  14,               0,  "State of period timer"},
    {'&',  OkOnly,           0,  "Run periodical interval exposition"},
    {'j',  OkOnly,           0,  "Reload and start counter"},
    {'J',  OkOnly,           0,  "Stop counter"},
    {'K',  OkOnly,           7,  "Setup counter"},
    {'k',  14,               0,  "State of counter"},
    {'l',  OkOnly,           0,  "Start waiting for trigger"},
    {'L',  OkOnly,           0,  "Stop waiting for trigger"},
    {'Q',  OkOnly,           1,  "Setup trigger"},
    {'q',  7,                0,  "State of trigger"},
    {'<',  OkOnly,           2,  "Coincidence mode setup"},
    {'/',  OkOnly,           3,  "Pre-action delay"},
    {'@',  OkOnly,           0,  "Reload frame counter"},
    {'(',  OkOnly,           5,  "Setup frame counter"},
    {')',  9,                0,  "State of frame counter"},
    {'W',  OkOnly,           2,  "Set TODO commands"},
    {'w',  2,                0,  "Get TODO commands"},
    {'~',  OkOnly,           1,  "Make ToDo mask"},
    {',',  StringParameter,  0,  "Watchdog test"},
    {'.',  OkOnly,           0,  "Oscilating shutter"},
    {'=',  OkOnly,           0,  "Periodic erase, waiting for trigger"},
    {'F',  OkOnly,           4,  "Flash"},
    {'I',  OkOnly,           1,  "CMOS test"},
    {':',  2,                3,  "LVDS test"},
    {'\'', 1,                1,  "I2C test"},
    {0,    0,                0,  nullptr},
};
// clang-format on

const CommandInfo* FindCommand(std::uint8_t code) {
    // Every received message is looked up: one index instead of a walk through the table.
    // The closing row's code is 0, so 0 itself is never a command.
    static const std::array<const CommandInfo*, 256> byCode = [] {
        std::array<const CommandInfo*, 256> rows{};
        for (const CommandInfo* row = CommandTable; row->code != 0; ++row) {
            if (!rows[row->code]) {
                rows[row->code] = row;
            }
        }
        return rows;
    }();
    return byCode[code];
}

std::int32_t ResponseTypeOf(std::uint8_t code) {
    const CommandInfo* row = FindCommand(code);
    return row ? row->responseType : UnknownResponseType;
}

const char* CommandName(std::uint8_t code) {
    if (const CommandInfo* row = FindCommand(code)) {
        return row->name;
    }
    // One buffer per thread: the window and the monitoring thread never garble each other.
    thread_local char unknown[32];
    if (code >= 0x21 && code <= 0x7F) {
        std::snprintf(unknown, sizeof unknown, "Unknown command [%c]", static_cast<char>(code));
    } else {
        std::snprintf(unknown, sizeof unknown, "Unknown command [%02x]", code);
    }
    return unknown;
}

} // namespace tarvio
