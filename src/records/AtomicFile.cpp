#include "records/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvio {

namespace {

std::string failureText(const std::string& path, int error) {
    return "Unable to write to " + path + ": " + std::strerror(error);
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A name beside the target that no one else uses; O_EXCL makes the claim safe. Its length is
// fixed and short, so any name the folder allows for the target leaves room for it.
int createTemporary(const std::string& path, std::string& tempPath) {
    static std::atomic<unsigned> serial{0};
    const std::string folder = folderOf(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[40];
        std::snprintf(name, sizeof name, ".tarvio2-%08x-%08x.tmp", // as isTemporaryName knows

                      static_cast<unsigned>(::getpid()), serial.fetch_add(1));
        tempPath = folder + name;
        // 0666 lets the umask decide, as for any file the operator creates.
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

const char* kindOf(mode_t mode) {
    if (S_ISLNK(mode))
        return "a symbolic link";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    return "a device";
}

} // namespace

std::string whyNotReplaceable(const std::string& path) {
    const std::string folder = folderOf(path);
    const std::string name = path.substr(folder.size());
    const long longest = ::pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
    if (longest > 0 && name.size() > static_cast<std::size_t>(longest))
        return "the name is " + std::to_string(name.size()) + " bytes long, the folder allows " +
               std::to_string(longest);
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
        return std::string("it is ") + kindOf(info.st_mode) + ", not a regular file";
    return {};
}

bool isTemporaryName(std::string_view name) {
    constexpr std::string_view Prefix = ".tarvio2-";
    constexpr std::string_view Suffix = ".tmp";
    return name.size() == Prefix.size() + 17 + Suffix.size() &&
           name.substr(0, Prefix.size()) == Prefix &&
           name.substr(name.size() - Suffix.size()) == Suffix;
}

SaveResult writeFileAtomically(const std::string& path, std::string_view contents) {
    if (path.empty())
        return SaveResult::failure("Unable to write to an empty file name");
    if (const std::string why = whyNotReplaceable(path); !why.empty())
        return SaveResult::failure("Unable to write to " + path + ": " + why);
    std::string tempPath;
    const int fd = createTemporary(path, tempPath);
    if (fd < 0)
        return SaveResult::failure(failureText(path, errno));

    int error = 0;
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = errno;
            break;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    if (error == 0 && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(tempPath.c_str(), path.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(tempPath.c_str());
        return SaveResult::failure(failureText(path, error));
    }
    return SaveResult::success();
}

} // namespace tarvio
