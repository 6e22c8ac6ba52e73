#include "engine/OutputFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>

#include "engine/EngineError.h"

namespace pw {
namespace {

constexpr std::size_t kGatherPages = 256;

}  // namespace

OutputFile::~OutputFile() { Abandon(); }

void OutputFile::Create(const std::filesystem::path& path) {
    Abandon();
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd_ < 0) throw EngineError("cannot create " + path.string() + ": " + std::strerror(errno));
    nextPage_ = 0;
    pending_.clear();
}

std::int32_t OutputFile::Allocate() {
    // Jet addresses pages with 3 bytes in row pointers.
    if (nextPage_ >= 0xFFFFFF) throw EngineError("the database is full");
    return nextPage_++;
}

void OutputFile::Write(std::int32_t pageNumber, const StoredBytes& page) {
    if (fd_ < 0) throw EngineError("the database is not open");
    const std::int32_t pendingEnd =
        pendingFirst_ + static_cast<std::int32_t>(pending_.size() / kEnginePageSize);
    if (!pending_.empty() && pageNumber != pendingEnd) Flush();
    if (pending_.empty()) pendingFirst_ = pageNumber;
    pending_.insert(pending_.end(), page.begin(), page.begin() + kEnginePageSize);
    if (pending_.size() >= kGatherPages * kEnginePageSize) Flush();
}

void OutputFile::Flush() {
    std::size_t done = 0;
    const off_t base = static_cast<off_t>(pendingFirst_) * kEnginePageSize;
    while (done < pending_.size()) {
        const ssize_t n = ::pwrite(fd_, pending_.data() + done, pending_.size() - done, base + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            pending_.clear();
            throw EngineError(std::string("writing the database failed: ") + std::strerror(errno));
        }
        done += static_cast<std::size_t>(n);
    }
    pending_.clear();
}

void OutputFile::Close() {
    if (fd_ < 0) return;
    Flush();
    // Pages allocated but never written (none, normally) read as zero.
    if (::ftruncate(fd_, static_cast<off_t>(nextPage_) * kEnginePageSize) != 0 || ::fsync(fd_) != 0) {
        const int err = errno;
        Abandon();
        throw EngineError(std::string("finishing the database failed: ") + std::strerror(err));
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw EngineError(std::string("closing the database failed: ") + std::strerror(errno));
}

void OutputFile::Abandon() {
    pending_.clear();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace pw
