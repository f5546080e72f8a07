#pragma once
// Reading a whole small text file, telling "not there" from "there but unreadable".

#include <optional>
#include <string>

namespace tarvio {

enum class ReadStatus { Ok, Missing, Failed };

struct TextFileContents {
    ReadStatus status = ReadStatus::Missing;
    std::string text;
};

TextFileContents readTextFile(const std::string& path);

} // namespace tarvio
