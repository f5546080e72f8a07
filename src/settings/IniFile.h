#pragma once
// An INI text kept line by line, so that writing a few keys leaves every other section, key,
// comment and blank line of the operator's file as it was. Section and key names match
// without regard to case; the first matching section and key win. Lines beginning with ';'
// or '#' are comments.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvio {

class IniFile {
public:
    // Longest value text handed out; longer values are cut there.
    static constexpr std::size_t MaxValueLength = 2047;

    IniFile() = default;
    static IniFile parse(std::string_view text);

    bool hasSection(std::string_view section) const;
    // The value of key in section, blanks around it removed; nullopt when either is missing.
    std::optional<std::string> value(std::string_view section, std::string_view key) const;

    // Replaces the key's line in place, or adds it at the end of its section, or adds the
    // section at the end of the text.
    void setValue(std::string_view section, std::string_view key, std::string_view value);

    // Removes the first section of that name with every line in it, so that a list of keys
    // can be written afresh; returns whether there was one.
    bool removeSection(std::string_view section);

    // The whole text, with the line ending the parsed text used (LF for a new one).
    std::string text() const;

private:
    struct Entry {
        std::size_t line;
        std::string value;
    };
    // Line index of the first header of section, or npos.
    std::size_t findSection(std::string_view section) const;
    // End of the section starting at header (the next header or the end of the text).
    std::size_t sectionEnd(std::size_t header) const;
    std::optional<Entry> findKey(std::size_t header, std::string_view key) const;

    std::vector<std::string> lines_;
    std::string bom_;
    std::string eol_ = "\n";
};

} // namespace tarvio
