#include "records/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tarvio {

namespace {

std::string failureText(const std::string& path, int error) {
    return "Unable to write to " + path + ": " + std::strerror(error);
}

// A name beside the target that no one else uses; O_EXCL makes the claim safe.
int createTemporary(const std::string& path, std::string& tempPath) {
    static std::atomic<unsigned> serial{0};
    const std::size_t slash = path.rfind('/');
    const std::string folder =
        slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = folder + "." + name + "." + std::to_string(::getpid()) + "." +
                   std::to_string(serial.fetch_add(1)) + ".tmp";
        // 0666 lets the umask decide, as for any file the operator creates.
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

SaveResult writeFileAtomically(const std::string& path, std::string_view contents) {
    if (path.empty())
        return SaveResult::failure("Unable to write to an empty file name");
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
