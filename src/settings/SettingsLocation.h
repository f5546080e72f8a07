#pragma once
// Where settings.ini lives. Beside the executable when that folder, or a settings.ini in it,
// can be written: a build folder or a copy on a USB stick keeps its file there as always.
// An installed program's folder is read-only for its users, so the file then lives in the
// user's configuration folder ($XDG_CONFIG_HOME/tarvio2, usually ~/.config/tarvio2). On the
// first start there, a settings.ini beside the executable (a site-wide default that an
// administrator placed) is copied in whole as the starting values, so every section of it,
// not only the window's keys, carries over. The window and the command-line program find the
// file through here.

#include <filesystem>
#include <string>

namespace tarvio {

// What the rule looks at.
struct SettingsPlaces {
    std::filesystem::path executableFolder; // empty when the executable cannot be found
    std::filesystem::path configHome;       // $XDG_CONFIG_HOME or ~/.config; empty if unknown
};

struct SettingsLocation {
    std::string file; // read at start, written at close
    bool besideExecutable = true;
    std::string seededFrom; // the site-wide file just copied into `file`, or empty
    std::string problem;    // why the user's folder or file could not be prepared, or empty
};

// The running executable's folder (through /proc/self/exe) and the user's configuration
// folder: $XDG_CONFIG_HOME when it is an absolute path, else $HOME/.config, else the home
// folder of the account.
SettingsPlaces currentSettingsPlaces();

// Decides where the file is; when that is the user's folder, creates the folder (0700) and,
// on the first start there, copies the site-wide file in. Never throws: what went wrong is
// told in `problem`, and the save at close then reports the file as not writable.
SettingsLocation locateSettings(const SettingsPlaces& places);

// One log line: which file is in use, and where a first start's values came from.
std::string describeSettingsLocation(const SettingsLocation& location);

} // namespace tarvio
