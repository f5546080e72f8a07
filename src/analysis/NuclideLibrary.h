#pragma once
// The nuclide library: photon lines, emission probabilities and half-lives read from a table
// (data/nuclides.csv, built into the program, and a user's own file of the same columns
// added from the settings folder). The table's text is the reference; nothing here holds
// nuclear data of its own.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvio {

enum class LineKind { Gamma, XRay, Annihilation };

struct LibraryLine {
    double energyKeV = 0.0;
    double emission = 0.0;            // photons per decay (0.359 for 35.9 %)
    double emissionUncertainty = 0.0; // per decay; 0 when the table gives none
    LineKind kind = LineKind::Gamma;
    std::string label;   // "Np La" for an X-ray group; empty for a gamma line
    std::string source;  // where the values come from
    std::string entered; // when they were entered
};

struct Nuclide {
    std::string name; // "Am-241"
    double halfLifeSeconds = 0.0;
    std::vector<LibraryLine> lines; // by energy
    std::string origin;             // the file it came from
};

class NuclideLibrary {
public:
    // Rows of the table's columns; a row that cannot be read is skipped with a sentence
    // naming its line in `errors`.
    static NuclideLibrary parse(std::string_view text, const std::string& origin,
                                std::vector<std::string>& errors);
    // The table built into the program, and its text.
    static const NuclideLibrary& builtIn();
    static std::string_view builtInText();

    // Another table's lines join these: a nuclide's line at the same energy (within 0.01 keV)
    // is replaced, new lines and nuclides are added, a half-life given replaces the old.
    void add(const NuclideLibrary& other);

    // By name, case-insensitive, the hyphen optional ("am241", "Am-241").
    const Nuclide* find(std::string_view name) const;
    const std::vector<Nuclide>& nuclides() const { return nuclides_; }

private:
    std::vector<Nuclide> nuclides_; // by name as first read
};

// The built-in table with the user's file added when it exists ("nuclides.csv" in
// `settingsFolder`); sentences about rows that could not be read in `errors`.
NuclideLibrary loadNuclideLibrary(const std::string& userFile, std::vector<std::string>& errors);

// "432.6 y" and the like (s, min, h, d, y) in seconds; nullopt for anything else.
std::optional<double> parseHalfLife(std::string_view text);

inline constexpr double SecondsPerYear = 365.2422 * 86400.0; // tropical year, as DDEP uses

} // namespace tarvio
