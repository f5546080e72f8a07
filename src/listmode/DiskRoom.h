#pragma once
// Room on the disk for a file that grows: the space the next writes need is reserved ahead
// of them (fallocate, the file's size unchanged), so that a full disk shows as a failed
// reservation between two flushes instead of a failed write in the middle of one, and the
// file can always be closed whole. Where the file system cannot reserve, the free space is
// compared instead. A share of the disk is kept free for everything else.

#include <cstdint>
#include <string>

namespace tarvio {

class DiskRoom {
public:
    // keepFree: bytes the recording leaves free on the file system.
    DiskRoom(const std::string& path, std::uint64_t keepFree);
    ~DiskRoom();
    DiskRoom(const DiskRoom&) = delete;
    DiskRoom& operator=(const DiskRoom&) = delete;

    // Room for the file to grow from fileBytes by at least ahead bytes. Empty when there is;
    // otherwise why not, as a sentence.
    std::string reserve(std::uint64_t fileBytes, std::uint64_t ahead);
    // Gives back what was reserved beyond the file's end.
    void release();

private:
    std::string freeSpaceProblem(std::uint64_t wanted) const;
    std::string path_;
    std::uint64_t keepFree_;
    int fd_ = -1;
    std::uint64_t reservedEnd_ = 0;
    bool canReserve_ = true;
};

// Bytes as people read them: "512 bytes", "3.2 MB", "1.5 GB".
std::string byteText(std::uint64_t bytes);

} // namespace tarvio
