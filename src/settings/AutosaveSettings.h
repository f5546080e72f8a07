#pragma once
// How often a running measurement is autosaved: the [Autosave] section of settings.ini, which
// the operator edits by hand and the program only reads (a fresh file never gets it).
//
//   [Autosave]
//   Minutes=5        ; 0 switches the periodic autosave off (Stop and Close still save)
//   Seconds=20       ; when given, in place of Minutes: for autosaves more often than that

#include <optional>
#include <string>

namespace tarvio {

struct AutosaveSettings {
    static constexpr int DefaultMinutes = 5;
    static constexpr int MaxMinutes = 7 * 24 * 60; // a week: longer is as good as never
    int minutes = DefaultMinutes;
    std::optional<int> seconds;

    // Between two autosaves; 0: none but the last.
    double intervalSeconds() const { return seconds ? *seconds : minutes * 60.0; }
};

// Never fails: a missing file, section or key, or a value that is not a whole number of
// minutes from 0 to MaxMinutes, gives the default.
AutosaveSettings loadAutosaveSettings(const std::string& path);

} // namespace tarvio
