#include "settings/IniFile.h"

namespace tarvio {

namespace {

constexpr std::size_t npos = std::string::npos;

std::string_view trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// The name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> headerName(std::string_view line) {
    line = trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    const std::size_t close = line.find(']');
    return trim(close == npos ? line : line.substr(0, close));
}

bool isComment(std::string_view line) {
    line = trim(line);
    return !line.empty() && (line.front() == ';' || line.front() == '#');
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> keyLine(std::string_view line) {
    if (isComment(line))
        return std::nullopt;
    const std::size_t eq = line.find('=');
    if (eq == npos)
        return std::nullopt;
    return KeyLine{trim(line.substr(0, eq)), trim(line.substr(eq + 1))};
}

} // namespace

IniFile IniFile::parse(std::string_view text) {
    IniFile ini;
    static constexpr std::string_view bom = "\xEF\xBB\xBF";
    if (text.starts_with(bom)) {
        ini.bom_ = bom;
        text.remove_prefix(bom.size());
    }
    const std::size_t firstBreak = text.find('\n');
    if (firstBreak != npos && firstBreak > 0 && text[firstBreak - 1] == '\r')
        ini.eol_ = "\r\n";
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        ini.lines_.emplace_back(line);
        if (nl == npos)
            break;
        text.remove_prefix(nl + 1);
    }
    return ini;
}

std::size_t IniFile::findSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = headerName(lines_[i]);
        if (name && sameName(*name, section))
            return i;
    }
    return npos;
}

bool IniFile::hasSection(std::string_view section) const {
    return findSection(section) != npos;
}

std::size_t IniFile::sectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && !headerName(lines_[i]))
        ++i;
    return i;
}

std::optional<IniFile::Entry> IniFile::findKey(std::size_t header, std::string_view key) const {
    const std::size_t end = sectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const auto entry = keyLine(lines_[i]);
        if (entry && sameName(entry->key, key))
            return Entry{i, std::string(entry->value.substr(0, MaxValueLength))};
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::value(std::string_view section, std::string_view key) const {
    const std::size_t header = findSection(section);
    if (header == npos)
        return std::nullopt;
    const auto entry = findKey(header, key);
    if (!entry)
        return std::nullopt;
    return entry->value;
}

void IniFile::setValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::size_t header = findSection(section);
    if (header == npos) {
        lines_.push_back("[" + std::string(section) + "]");
        lines_.push_back(std::string(key) + "=" + std::string(value));
        return;
    }
    if (const auto entry = findKey(header, key)) {
        // Keep the operator's spelling of the key; only the value changes.
        std::string& line = lines_[entry->line];
        const std::size_t eq = line.find('=');
        line = std::string(trim(std::string_view(line).substr(0, eq))) + "=" + std::string(value);
        return;
    }
    // After the section's last non-blank line, so that blank lines between sections stay.
    std::size_t at = sectionEnd(header);
    while (at > header + 1 && trim(lines_[at - 1]).empty())
        --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at),
                  std::string(key) + "=" + std::string(value));
}

bool IniFile::removeSection(std::string_view section) {
    const std::size_t header = findSection(section);
    if (header == npos)
        return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(sectionEnd(header)));
    return true;
}

std::string IniFile::text() const {
    std::string out = bom_;
    for (const std::string& line : lines_) {
        out += line;
        out += eol_;
    }
    return out;
}

} // namespace tarvio
