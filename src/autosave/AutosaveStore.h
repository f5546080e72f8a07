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

// Held by the program writing an autosave for as long as its measurement runs: a lock on a
// file in the user's runtime folder, named after the autosave, that the system drops when
// the process ends, however it ends. An
// autosave whose lock is held belongs to a live measurement (another window, a command-line
// run), not to a crash.
class AutosaveWriterLock {
public:
    explicit AutosaveWriterLock(const std::string& autosavePath);
    ~AutosaveWriterLock();
    AutosaveWriterLock(const AutosaveWriterLock&) = delete;
    AutosaveWriterLock& operator=(const AutosaveWriterLock&) = delete;

    bool held() const { return fd_ >= 0; }
    // Whether a writer holds the lock of that autosave now.
    static bool heldByAWriter(const std::string& autosavePath);

private:
    std::string lockPath_;
    int fd_ = -1;
};

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

    // Creates the folder when needed, writes the file atomically (N42, or the format its
    // extension names), then removes the oldest autosaves beyond KeptFiles. The error names
    // the file and the reason.
    SaveResult write(const std::string& path, const MeasuredSpectrum& spectrum);

    struct Unfinished {
        std::string path;
        MeasuredSpectrum spectrum;
    };
    // The newest autosave that no running program is writing, when it belongs to a
    // measurement that never ended and was not restored already. A newest file that cannot
    // be read gives nullopt and its reason in `problem`.
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
