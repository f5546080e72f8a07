#pragma once
// Reading a whole text file, telling "not there" from "there but unreadable". Only regular
// files are read, and only up to a limit: a settings or spectrum file that is a FIFO or a
// device, or one grown huge, must neither block the program nor exhaust its memory.

#include <cstddef>
#include <optional>
#include <string>

namespace tarvio {

// The limit unless a caller gives another: far more than any settings file a person writes.
constexpr std::size_t MaxTextFileBytes = std::size_t{1} << 20;

enum class ReadStatus {
    Ok,
    Missing,
    Failed,   // not a regular file, or an error while reading it
    TooLarge, // a regular file above the limit; nothing of it was read
};

struct TextFileContents {
    ReadStatus status = ReadStatus::Missing;
    std::string text;
    // Why a Failed or TooLarge file was not read, for a log line ("is not a regular file").
    std::string problem;
};

TextFileContents readTextFile(const std::string& path, std::size_t maxBytes = MaxTextFileBytes);

} // namespace tarvio
