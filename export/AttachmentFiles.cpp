#include "export/AttachmentFiles.h"

#include <cstdio>
#include <system_error>
#include <utility>

#include "records/StoredFileName.h"

namespace pw {
namespace {

std::filesystem::path PathOfUtf8(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// Creates the file only when it does not exist yet ("x"), so nothing an
// export wrote before is ever replaced.
bool WriteNew(const std::filesystem::path& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wbx");
    if (file == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

std::string AttachmentRecordFolder(std::int64_t record) { return "record" + std::to_string(record); }

AttachmentFileWriter::AttachmentFileWriter(std::filesystem::path folder) : folder_(std::move(folder)) {}

int AttachmentFileWriter::filesWritten() const {
    std::lock_guard lock(mutex_);
    return count_;
}

std::string AttachmentFileWriter::Write(std::int64_t record, const std::string& storedName, const std::string& bytes,
                                        bool* written) {
    const std::string safe = SafeStoredFileName(storedName);
    const std::string sub = AttachmentRecordFolder(record);
    std::lock_guard lock(mutex_);
    std::error_code ignored;
    std::string relative = sub + "/" + safe;
    for (int n = 2; used_.count(relative) != 0 || std::filesystem::exists(folder_ / PathOfUtf8(relative), ignored); ++n) relative = sub + "/" + std::to_string(n) + "_" + safe;
    used_.insert(relative);

    const std::filesystem::path directory = folder_ / sub;
    std::filesystem::create_directories(directory, ignored);
    const std::filesystem::path target = folder_ / PathOfUtf8(relative);
    // The safe name has no separator and is no "." or "..": the file's folder
    // is the record's folder. Checked all the same, since a name that escaped
    // would write anywhere.
    const bool inside = target.parent_path() == directory;
    const bool ok = inside && WriteNew(target, bytes);
    if (ok) ++count_;
    if (written != nullptr) *written = ok;
    return relative;
}

}  // namespace pw
