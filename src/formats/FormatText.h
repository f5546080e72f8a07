#pragma once
// Text pieces every format shares: numbers with a point whatever the locale, counts as exact
// integers, UTC date-times and durations, lines of any ending, and the error a reader raises
// to say where a file went wrong.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarvio {

// A reader's complaint, already naming the line or element ("line 12: ..."); the caller
// puts the file's name in front.
class ParseError : public std::runtime_error {
public:
    explicit ParseError(const std::string& message) : std::runtime_error(message) {}
};

// A writer's complaint: a field it cannot put into words (an energy no double holds). The
// save fails with it rather than leave the field empty.
class WriteError : public std::runtime_error {
public:
    explicit WriteError(const std::string& message) : std::runtime_error(message) {}
};

// Appends the energy of channel with four decimals, or throws WriteError naming the channel.
void appendEnergy(std::string& out, double energy, std::size_t channel);

[[noreturn]] void failAtLine(std::size_t line, const std::string& what);
[[noreturn]] void failAtElement(std::string_view element, const std::string& what);

// A text cut for an error message: at most 40 characters, a tab shown as a blank and other
// control characters as '?'.
std::string quoted(std::string_view text);

// The shortest text that reads back as the same double; a point, never the locale's comma.
std::string numberText(double value);
// Fixed notation with three decimals: times to the millisecond.
std::string secondsText(double seconds);

// A finite number in decimal or scientific notation, an optional sign in front; nothing
// else around it.
std::optional<double> parseNumber(std::string_view text);

// A count is a whole number of at most 2^64 - 1. Other programs write counts as doubles, so
// "1.04858e+06" and "12.0" count (as 1048580 and 12) as long as they are whole and below 2^53.
std::optional<std::uint64_t> parseCount(std::string_view text);

// "2024-05-01T12:34:56.789Z": milliseconds since 1970-01-01 UTC as ISO 8601.
std::string utcText(std::int64_t utcMs);
struct ParsedDateTime {
    std::int64_t utcMs = 0;
    bool hadZone = true; // false: no Z or offset in the text, taken as UTC
};
// ISO 8601 date and time with Z, +hh:mm, -hh:mm or no zone; seconds may carry a fraction.
std::optional<ParsedDateTime> parseDateTime(std::string_view text);

// xs:duration as N42 writes it: "PT600.000S".
std::string durationText(double seconds);
// Any xs:duration of days, hours, minutes and seconds ("PT1H2M3.5S", "P1DT2H"); years and
// months have no fixed length and are refused.
std::optional<double> parseDuration(std::string_view text);

std::string_view trim(std::string_view text);
// Control characters (line breaks among them) become spaces: a value that must stay on one
// line of a file.
std::string oneLine(std::string_view text);
bool startsWithNoCase(std::string_view text, std::string_view prefix);
bool equalsNoCase(std::string_view a, std::string_view b);

// The lines of a text ending in LF, CR LF or CR, without their endings; a last line without
// an ending counts, an empty text has none.
std::vector<std::string_view> splitLines(std::string_view text);
// Pieces separated by any run of white space (blanks and line breaks).
std::vector<std::string_view> splitBlanks(std::string_view text);

// The same lines one at a time: a reader walks a file of any size in constant memory, where
// a vector of all its lines would cost sixteen times a file of empty lines.
class LineCursor {
public:
    explicit LineCursor(std::string_view text) : text_(text) {}
    // False after the last line.
    bool next(std::string_view& line);
    // The line last returned, counted from 1.
    std::size_t number() const { return number_; }

private:
    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t number_ = 0;
};

// The same pieces one at a time.
class BlankCursor {
public:
    explicit BlankCursor(std::string_view text) : text_(text) {}
    // False after the last piece.
    bool next(std::string_view& piece);

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

// A reader's notes stay few whatever a file repeats: one of a kind, and at most MaxNotes.
inline constexpr std::size_t MaxNotes = 20;
void addNote(std::vector<std::string>& notes, std::string note);

} // namespace tarvio
