#pragma once
// The main window's autosave state: where the running measurement is autosaved, how often,
// and what a restore brought back.

#include "autosave/AutosaveStore.h"
#include "formats/MeasuredSpectrum.h"
#include "settings/AutosaveSettings.h"

#include <optional>
#include <string>
#include <utility>

class QTimer;

namespace tarvio {

struct WindowAutosave {
    explicit WindowAutosave(std::string folder) : store(std::move(folder)) {}

    AutosaveStore store;
    QTimer* timer = nullptr;
    int intervalMs = AutosaveSettings::DefaultMinutes * 60 * 1000;
    std::string currentPath; // the running measurement's file; empty while none runs
    std::string lastPath;    // the last file this run wrote, for the watchdog's rescue
    std::string lastError;   // reported once, not at every tick
    std::optional<MeasuredSpectrum> restored; // what the offer brought back, until Start
};

} // namespace tarvio
