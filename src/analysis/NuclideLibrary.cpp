#include "analysis/NuclideLibrary.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

namespace tarvio {

extern const char* const BuiltInNuclideTable; // data/nuclides.csv, generated at build time

namespace {

std::string trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return std::string(s);
}

std::vector<std::string> splitCsv(std::string_view line) {
    std::vector<std::string> fields;
    std::string field;
    bool quoted = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.push_back(trim(field));
            field.clear();
        } else {
            field += c;
        }
    }
    fields.push_back(trim(field));
    return fields;
}

std::optional<double> number(std::string_view text) {
    double value = 0.0;
    const auto* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::string key(std::string_view name) {
    std::string k;
    for (char c : name)
        if (c != '-' && c != ' ')
            k += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return k;
}

std::optional<LineKind> kindOf(std::string_view text) {
    const std::string k = key(text);
    if (k == "gamma")
        return LineKind::Gamma;
    if (k == "xray" || k == "x")
        return LineKind::XRay;
    if (k == "annihilation")
        return LineKind::Annihilation;
    return std::nullopt;
}

enum Column { Name, HalfLife, Kind, Energy, Emission, EmissionSd, Label, Source, Entered };

} // namespace

std::optional<double> parseHalfLife(std::string_view text) {
    const std::string t = trim(text);
    const auto space = t.find(' ');
    if (space == std::string::npos)
        return std::nullopt;
    const auto value = number(std::string_view(t).substr(0, space));
    const std::string unit = trim(std::string_view(t).substr(space + 1));
    if (!value || *value <= 0.0)
        return std::nullopt;
    if (unit == "s")
        return *value;
    if (unit == "min")
        return *value * 60.0;
    if (unit == "h")
        return *value * 3600.0;
    if (unit == "d")
        return *value * 86400.0;
    if (unit == "y" || unit == "a")
        return *value * SecondsPerYear;
    return std::nullopt;
}

NuclideLibrary NuclideLibrary::parse(std::string_view text, const std::string& origin,
                                     std::vector<std::string>& errors) {
    NuclideLibrary library;
    std::istringstream in{std::string(text)};
    std::string raw;
    int lineNumber = 0;
    bool header = true;
    while (std::getline(in, raw)) {
        ++lineNumber;
        const std::string line = trim(raw);
        if (line.empty() || line.front() == '#')
            continue;
        const auto f = splitCsv(line);
        if (header && !f.empty() && key(f[0]) == "nuclide") {
            header = false; // the column names
            continue;
        }
        header = false;
        const std::string where = origin + ":" + std::to_string(lineNumber) + ": ";
        if (f.size() < Emission + 1) {
            errors.push_back(where + "a row needs at least nuclide, half-life, kind, energy "
                                     "and emission.");
            continue;
        }
        const auto halfLife = parseHalfLife(f[HalfLife]);
        const auto kind = kindOf(f[Kind]);
        const auto energy = number(f[Energy]);
        const auto emission = number(f[Emission]);
        if (f[Name].empty() || !halfLife || !kind || !energy || *energy <= 0.0 || !emission ||
            *emission < 0.0) {
            errors.push_back(where + "'" + line +
                             "' is not a line (energy and emission must be positive numbers, "
                             "the half-life a number and s, min, h, d or y, the kind gamma, "
                             "xray or annihilation).");
            continue;
        }
        LibraryLine entry;
        entry.energyKeV = *energy;
        entry.emission = *emission / 100.0;
        if (f.size() > EmissionSd && !f[EmissionSd].empty())
            entry.emissionUncertainty = number(f[EmissionSd]).value_or(0.0) / 100.0;
        entry.kind = *kind;
        if (f.size() > Label)
            entry.label = f[Label];
        if (f.size() > Source)
            entry.source = f[Source];
        if (f.size() > Entered)
            entry.entered = f[Entered];

        NuclideLibrary one;
        one.nuclides_.push_back(Nuclide{f[Name], *halfLife, {entry}, origin});
        library.add(one);
    }
    return library;
}

const NuclideLibrary& NuclideLibrary::builtIn() {
    static const NuclideLibrary library = [] {
        std::vector<std::string> errors; // the build's own table is checked by the tests
        return parse(BuiltInNuclideTable, "nuclides.csv", errors);
    }();
    return library;
}

std::string_view NuclideLibrary::builtInText() {
    return BuiltInNuclideTable;
}

void NuclideLibrary::add(const NuclideLibrary& other) {
    for (const Nuclide& incoming : other.nuclides_) {
        auto it = std::find_if(nuclides_.begin(), nuclides_.end(),
                               [&](const Nuclide& n) { return key(n.name) == key(incoming.name); });
        if (it == nuclides_.end()) {
            nuclides_.push_back(incoming);
            continue;
        }
        it->halfLifeSeconds = incoming.halfLifeSeconds;
        for (const LibraryLine& line : incoming.lines) {
            auto same = std::find_if(it->lines.begin(), it->lines.end(), [&](const auto& l) {
                return std::abs(l.energyKeV - line.energyKeV) < 0.01;
            });
            if (same != it->lines.end())
                *same = line;
            else
                it->lines.push_back(line);
        }
        std::sort(it->lines.begin(), it->lines.end(),
                  [](const auto& a, const auto& b) { return a.energyKeV < b.energyKeV; });
        if (incoming.origin != it->origin)
            it->origin += ", " + incoming.origin;
    }
}

const Nuclide* NuclideLibrary::find(std::string_view name) const {
    const std::string k = key(name);
    for (const Nuclide& n : nuclides_)
        if (key(n.name) == k)
            return &n;
    return nullptr;
}

NuclideLibrary loadNuclideLibrary(const std::string& userFile, std::vector<std::string>& errors) {
    NuclideLibrary library = NuclideLibrary::builtIn();
    if (userFile.empty())
        return library;
    std::ifstream in(userFile);
    if (!in)
        return library; // no file of one's own: the built-in table alone
    std::stringstream text;
    text << in.rdbuf();
    library.add(NuclideLibrary::parse(text.str(), userFile, errors));
    return library;
}

} // namespace tarvio
