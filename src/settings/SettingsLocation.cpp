#include "settings/SettingsLocation.h"

#include "records/AtomicFile.h"
#include "records/TextFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvio {

namespace fs = std::filesystem;

namespace {

constexpr const char* FileName = "settings.ini";
constexpr const char* FolderName = "tarvio2";

// Installed programs live under /usr.
bool underUsr(const fs::path& path) {
    std::error_code error;
    const fs::path real = fs::weakly_canonical(path, error);
    auto part = real.begin();
    return !error && part != real.end() && ++part != real.end() && *part == "usr";
}

// Whether this process may write `path`. The superuser may write nearly anywhere, so for it
// a file or folder counts only when its permission bits let someone write it and it is not
// under /usr: root starting the installed program once must not leave a settings.ini beside
// it, where it would seed every user's first start.
bool mayWrite(const fs::path& path) {
    if (::access(path.c_str(), W_OK) != 0)
        return false;
    if (::geteuid() != 0)
        return true;
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & 0222) != 0 && !underUsr(path);
}

// Creates each missing folder of `folder` readable by its owner only, as configuration
// folders should be.
std::string makePrivateFolders(const fs::path& folder) {
    fs::path partial;
    for (const fs::path& part : folder) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST)
            return "cannot create " + partial.string() + ": " + std::strerror(errno);
    }
    std::error_code error;
    if (!fs::is_directory(folder, error))
        return "cannot create " + folder.string() + ": not a folder";
    return {};
}

fs::path absoluteOrEmpty(const char* text) {
    if (text == nullptr || *text == '\0')
        return {};
    fs::path path(text);
    return path.is_absolute() ? path : fs::path();
}

} // namespace

SettingsPlaces currentSettingsPlaces() {
    SettingsPlaces places;
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (!error)
        places.executableFolder = exe.parent_path();

    // A relative XDG_CONFIG_HOME is invalid and is ignored, as the base directory rules say.
    places.configHome = absoluteOrEmpty(std::getenv("XDG_CONFIG_HOME"));
    if (places.configHome.empty()) {
        fs::path home = absoluteOrEmpty(std::getenv("HOME"));
        if (home.empty())
            if (const passwd* account = ::getpwuid(::geteuid()))
                home = absoluteOrEmpty(account->pw_dir);
        if (!home.empty())
            places.configHome = home / ".config";
    }
    return places;
}

SettingsLocation locateSettings(const SettingsPlaces& places) {
    if (places.executableFolder.empty())
        return {FileName, true, {}, {}};
    const fs::path beside = places.executableFolder / FileName;
    std::error_code error;
    if ((fs::exists(beside, error) && mayWrite(beside)) || mayWrite(places.executableFolder))
        return {beside.string(), true, {}, {}};
    if (places.configHome.empty())
        return {beside.string(), true, {}, "no home folder is known"};

    const fs::path folder = places.configHome / FolderName;
    SettingsLocation location{(folder / FileName).string(), false, {}, {}};
    location.problem = makePrivateFolders(folder);
    if (!location.problem.empty())
        return location;

    // Not even a dangling link is replaced: the user's file is never overwritten.
    if (fs::symlink_status(location.file, error).type() != fs::file_type::not_found)
        return location;
    const TextFileContents site = readTextFile(beside.string());
    if (site.status == ReadStatus::Failed) {
        location.problem = "cannot read " + beside.string();
    } else if (site.status == ReadStatus::Ok) {
        if (const SaveResult copied = writeFileAtomically(location.file, site.text); copied)
            location.seededFrom = beside.string();
        else
            location.problem = copied.error;
    }
    return location;
}

std::string describeSettingsLocation(const SettingsLocation& location) {
    std::string line = "Settings: " + location.file;
    if (!location.seededFrom.empty())
        line += " (first start: values from " + location.seededFrom + ")";
    if (!location.problem.empty())
        line += " (" + location.problem + ")";
    return line;
}

} // namespace tarvio
