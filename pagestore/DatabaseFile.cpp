#include "pagestore/DatabaseFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace pw {

DatabaseFile::~DatabaseFile() { Close(); }

bool DatabaseFile::Open(const std::string& path) {
    Close();
    if (path.empty()) return false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void DatabaseFile::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::int64_t DatabaseFile::Size() const {
    if (fd_ < 0) return -1;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return -1;
    return static_cast<std::int64_t>(st.st_size);
}

std::int64_t DatabaseFile::ReadAt(std::int64_t position, std::uint8_t* buffer, std::size_t n) const {
    if (fd_ < 0) return -1;
    if (position < 0) return 0;
    std::size_t total = 0;
    while (total < n) {
        ssize_t got = ::pread(fd_, buffer + total, n - total, static_cast<off_t>(position + total));
        if (got < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
    }
    return static_cast<std::int64_t>(total);
}

}  // namespace pw
