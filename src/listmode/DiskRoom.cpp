#include "listmode/DiskRoom.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/falloc.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace tarvio {

DiskRoom::DiskRoom(const std::string& path, std::uint64_t keepFree)
    : path_(path), keepFree_(keepFree) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    canReserve_ = fd_ >= 0;
}

DiskRoom::~DiskRoom() {
    if (fd_ >= 0)
        ::close(fd_);
}

std::string DiskRoom::freeSpaceProblem(std::uint64_t wanted) const {
    struct statvfs fs {};
    if (::statvfs(path_.c_str(), &fs) != 0)
        return {}; // nothing to compare with: the writes will tell
    const std::uint64_t available = static_cast<std::uint64_t>(fs.f_bavail) * fs.f_frsize;
    if (available >= wanted + keepFree_)
        return {};
    std::string problem = "the disk is full for it: " + byteText(available) + " free, " +
                          byteText(wanted) + " wanted ahead";
    if (keepFree_ > 0)
        problem += ", " + byteText(keepFree_) + " left free for the rest of the system";
    return problem;
}

std::string DiskRoom::reserve(std::uint64_t fileBytes, std::uint64_t ahead) {
    if (reservedEnd_ >= fileBytes + ahead / 2)
        return freeSpaceProblem(0);
    if (std::string problem = freeSpaceProblem(ahead); !problem.empty())
        return problem;
    if (!canReserve_)
        return {};
    const off_t from = static_cast<off_t>(fileBytes);
    if (::fallocate(fd_, FALLOC_FL_KEEP_SIZE, from, static_cast<off_t>(ahead)) == 0) {
        reservedEnd_ = fileBytes + ahead;
        return {};
    }
    if (errno == ENOSPC || errno == EDQUOT)
        return "the disk is full";
    canReserve_ = false; // a file system without reservations: the free space decides
    return {};
}

void DiskRoom::release() {
    struct stat info {};
    if (fd_ < 0 || ::fstat(fd_, &info) != 0)
        return;
    const auto fileBytes = static_cast<std::uint64_t>(info.st_size);
    if (reservedEnd_ > fileBytes)
        ::fallocate(fd_, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(fileBytes),
                    static_cast<off_t>(reservedEnd_ - fileBytes));
    reservedEnd_ = 0;
}

std::string byteText(std::uint64_t bytes) {
    constexpr const char* Units[] = {"kB", "MB", "GB", "TB"};
    if (bytes < 1000)
        return std::to_string(bytes) + " bytes";
    double value = static_cast<double>(bytes) / 1000.0;
    int unit = 0;
    while (value >= 1000.0 && unit < 3) {
        value /= 1000.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 10.0 ? "%.1f %s" : "%.0f %s", value, Units[unit]);
    return text;
}

} // namespace tarvio
