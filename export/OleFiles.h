#pragma once

#include <filesystem>
#include <mutex>
#include <string>

namespace pw {

// Writes the OLE objects an export meets as files "Ole<n>.<extension>" in one
// folder, numbered from 1 in the order they are written; the number is never
// reused within one writer, so the objects of one export never overwrite one
// another. Safe to share between threads.
class OleFileWriter {
public:
    explicit OleFileWriter(std::filesystem::path folder);

    // Cuts the object's content out of its wrapper and writes it; returns the
    // file's path as UTF-8. The folder is made when the first object comes. A
    // file that cannot be written still gets its name, so the row keeps its
    // place and the number stays unique.
    std::string Write(const std::string& objectBytes);

    int filesWritten() const;
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
    mutable std::mutex mutex_;
    int count_ = 0;
};

}  // namespace pw
