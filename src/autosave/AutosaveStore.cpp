#include "autosave/AutosaveStore.h"

#include "formats/FormatText.h"
#include "formats/N42Format.h"
#include "formats/SpectrumFiles.h"
#include "records/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace tarvio {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view Prefix = "autosave-";
constexpr std::string_view Suffix = ".n42";
// A temporary file this old was left by a write that never finished.
constexpr auto StaleTemporary = std::chrono::minutes(10);

bool endsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

struct Entry {
    fs::file_time_type written;
    fs::path path;
};

// Our autosaves, newest first.
std::vector<Entry> autosaves(const std::string& folder) {
    std::vector<Entry> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(Prefix, 0) != 0 || !endsWith(name, Suffix))
            continue;
        std::error_code timeError;
        const auto written = fs::last_write_time(it->path(), timeError);
        if (!timeError && it->is_regular_file(timeError))
            entries.push_back({written, it->path()});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.written != b.written ? a.written > b.written : a.path > b.path;
    });
    return entries;
}

// The lock of an autosave lives in the user's runtime folder, named after the autosave's
// absolute path, so that the autosave folder holds nothing but autosaves.
std::string lockPathFor(const std::string& autosavePath) {
    std::error_code error;
    const fs::path absolute = fs::absolute(autosavePath, error);
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const fs::path folder =
        runtime && runtime[0] == '/'
            ? fs::path(runtime) / "tarvio2"
            : fs::temp_directory_path(error) / ("tarvio2-" + std::to_string(::getuid()));
    char name[32];
    std::snprintf(name, sizeof name, "%016zx.lock",
                  std::hash<std::string>{}(error ? autosavePath : absolute.string()));
    return (folder / name).string();
}

} // namespace

AutosaveWriterLock::AutosaveWriterLock(const std::string& autosavePath)
    : lockPath_(lockPathFor(autosavePath)) {
    std::error_code ignored; // without its folder there is no lock, and the write says why
    fs::create_directories(fs::path(lockPath_).parent_path(), ignored);
    fd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

AutosaveWriterLock::~AutosaveWriterLock() {
    if (fd_ < 0)
        return;
    ::unlink(lockPath_.c_str());
    ::close(fd_);
}

bool AutosaveWriterLock::heldByAWriter(const std::string& autosavePath) {
    const std::string lockPath = lockPathFor(autosavePath);
    const int fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false; // no lock file: nobody has been writing it since it ended or crashed
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

AutosaveStore::AutosaveStore(std::string folder) : folder_(std::move(folder)) {}

std::string AutosaveStore::defaultFolder() {
    // Only an absolute XDG_DATA_HOME counts; a relative one is to be ignored.
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (xdg && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] == '\0') {
            const passwd* user = ::getpwuid(::getuid());
            home = user && user->pw_dir ? user->pw_dir : "/tmp";
        }
        base = std::string(home) + "/.local/share";
    }
    return base + "/tarvio2/autosave";
}

std::string AutosaveStore::fileFor(std::int64_t startUtcMs) const {
    std::string stamp = utcText(startUtcMs);
    stamp.erase(
        std::remove_if(stamp.begin(), stamp.end(), [](char c) { return c == '-' || c == ':'; }),
        stamp.end());
    return (fs::path(folder_) /
            (std::string(Prefix) + stamp + "-" + std::to_string(::getpid()) + std::string(Suffix)))
        .string();
}

SaveResult AutosaveStore::write(const std::string& path, const MeasuredSpectrum& spectrum) {
    const fs::path folder = fs::path(path).parent_path();
    std::error_code error;
    if (!folder.empty())
        fs::create_directories(folder, error);
    if (error)
        return SaveResult::failure("Unable to create the autosave folder " + folder.string() +
                                   ": " + error.message());
    const FileFormat format = formatForPath(path).value_or(FileFormat::N42);
    const SaveResult saved = writeFileAtomically(path, spectrumFileText(spectrum, format));
    // Only the folder's own autosaves are pruned; a file beside an output is not one of them.
    if (saved && fs::path(path).filename().string().rfind(Prefix, 0) == 0)
        prune();
    return saved;
}

std::optional<AutosaveStore::Unfinished>
AutosaveStore::newestUnfinished(std::string* problem) const {
    std::vector<Entry> entries = autosaves(folder_);
    std::erase_if(entries, [](const Entry& entry) {
        return AutosaveWriterLock::heldByAWriter(entry.path.string());
    });
    if (entries.empty())
        return std::nullopt;
    ReadResult read = readSpectrumFile(entries.front().path.string());
    if (!read) {
        if (problem)
            *problem = read.error;
        return std::nullopt;
    }
    const auto& remarks = read.spectrum->remarks;
    if (read.spectrum->measurement.ended ||
        std::find(remarks.begin(), remarks.end(), RestoredRemark) != remarks.end())
        return std::nullopt;
    return Unfinished{entries.front().path.string(), std::move(*read.spectrum)};
}

SaveResult AutosaveStore::markRestored(const Unfinished& restored) {
    MeasuredSpectrum marked = restored.spectrum;
    marked.remarks.emplace_back(RestoredRemark);
    return writeFileAtomically(restored.path, writeN42(marked));
}

void AutosaveStore::prune() const {
    const std::vector<Entry> entries = autosaves(folder_);
    std::error_code error;
    for (std::size_t i = KeptFiles; i < entries.size(); ++i)
        fs::remove(entries[i].path, error);

    const auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator it(folder_, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("." + std::string(Prefix), 0) != 0 || !endsWith(name, ".tmp"))
            continue;
        std::error_code timeError;
        const auto written = fs::last_write_time(it->path(), timeError);
        if (!timeError && now - written > StaleTemporary)
            fs::remove(it->path(), timeError);
    }
}

} // namespace tarvio
