#include "records/TextFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarvio {

namespace {

TextFileContents failed(std::string problem) {
    TextFileContents result;
    result.status = ReadStatus::Failed;
    result.problem = std::move(problem);
    return result;
}

TextFileContents tooLarge(std::size_t maxBytes) {
    TextFileContents result;
    result.status = ReadStatus::TooLarge;
    result.problem = maxBytes >= (std::size_t{1} << 20)
                         ? "is larger than " + std::to_string(maxBytes >> 20) + " MiB"
                         : "is larger than " + std::to_string(maxBytes) + " bytes";
    return result;
}

// Closes the descriptor on every way out.
struct FileDescriptor {
    int fd;
    ~FileDescriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

} // namespace

TextFileContents readTextFile(const std::string& path, std::size_t maxBytes) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer, for ever if none comes.
    const FileDescriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0) {
        if (errno == ENOENT)
            return {};
        return failed(std::string("cannot be opened: ") + std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0)
        return failed(std::string("cannot be examined: ") + std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return failed("is not a regular file");
    if (static_cast<std::size_t>(info.st_size) > maxBytes)
        return tooLarge(maxBytes);

    TextFileContents result;
    result.text.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failed(std::string("cannot be read: ") + std::strerror(errno));
        if (n == 0)
            break;
        // A file that grows while it is read is held to the same limit.
        if (result.text.size() + static_cast<std::size_t>(n) > maxBytes)
            return tooLarge(maxBytes);
        result.text.append(buffer, static_cast<std::size_t>(n));
    }
    result.status = ReadStatus::Ok;
    return result;
}

} // namespace tarvio
