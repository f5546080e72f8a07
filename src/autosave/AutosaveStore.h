#pragma once
// The autosaves of running measurements: one N42 file per measurement in the user's data
// folder, rewritten whole (through a temporary file) at every autosave, and marked as ended
// once the measurement ends. At start the newest one that never ended is what a crash, a
// kill or a power cut left behind: the program offers it back. Only the newest files are kept.

#include "formats/MeasuredSpectrum.h"
#include "records/SaveResult.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace tarvio {

class AutosaveStore {
public:
    // Autosaves kept; older ones are removed after each autosave.
    static constexpr std::size_t KeptFiles = 20;

    explicit AutosaveStore(std::string folder);

    // $XDG_DATA_HOME/tarvio2/autosave, where XDG_DATA_HOME defaults to ~/.local/share.
    static std::string defaultFolder();
    const std::string& folder() const { return folder_; }

    // The file of a measurement started at utcMs: autosave-20240501T123456.789Z-<pid>.n42.
    std::string fileFor(std::int64_t startUtcMs) const;

    // Creates the folder when needed, writes the file atomically, then removes the oldest
    // autosaves beyond KeptFiles. The error names the file and the reason.
    SaveResult write(const std::string& path, const MeasuredSpectrum& spectrum);

    struct Unfinished {
        std::string path;
        MeasuredSpectrum spectrum;
    };
    // The newest autosave, when it belongs to a measurement that never ended and was not
    // restored already. A newest file that cannot be read gives nullopt and its reason in
    // `problem`.
    std::optional<Unfinished> newestUnfinished(std::string* problem = nullptr) const;

    // Notes in the file that it has been restored, so it is not offered again.
    SaveResult markRestored(const Unfinished& restored);

    // Removes all but the KeptFiles newest autosaves, and temporary files a crash left behind.
    void prune() const;

private:
    std::string folder_;
};

// The remark a restored autosave carries.
inline constexpr const char* RestoredRemark =
    "Restored after the program ended without stopping this measurement.";

} // namespace tarvio
