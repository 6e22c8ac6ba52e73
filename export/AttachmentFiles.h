#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>

namespace pw {

// Writes the attachments of a table's records into its objects folder (the
// one its OLE objects go to), each record's files in a subfolder of their own,
// "record<n>", under their stored names made safe (SafeStoredFileName): a
// stored name can never reach outside the folder, and two records whose
// files share a name never overwrite each other. Two files of one record
// that end up with the same name get a numbered prefix ("2_", "3_"…).
// Safe to share between threads.
class AttachmentFileWriter {
public:
    explicit AttachmentFileWriter(std::filesystem::path folder);

    // Writes one file of record `record` (numbered from 1 in export order) and
    // returns its path relative to the objects folder, "/"-separated UTF-8,
    // e.g. "record3/photo.jpg". A file that cannot be written still gets its
    // name, so the row keeps its place; `written` tells which.
    std::string Write(std::int64_t record, const std::string& storedName, const std::string& bytes,
                      bool* written = nullptr);

    int filesWritten() const;
    const std::filesystem::path& folder() const { return folder_; }

private:
    std::filesystem::path folder_;
    mutable std::mutex mutex_;
    std::set<std::string> used_;
    int count_ = 0;
};

// The subfolder of a record's attachments.
std::string AttachmentRecordFolder(std::int64_t record);

}  // namespace pw
