#include "export/OleFiles.h"

#include <fstream>
#include <system_error>
#include <utility>

#include "records/OleValue.h"

namespace pw {
namespace {

std::string Utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

OleFileWriter::OleFileWriter(std::filesystem::path folder) : folder_(std::move(folder)) {}

int OleFileWriter::filesWritten() const {
    std::lock_guard lock(mutex_);
    return count_;
}

std::string OleFileWriter::Write(const std::string& objectBytes) {
    const OleContent content = UnwrapOleObject(objectBytes);
    std::lock_guard lock(mutex_);
    ++count_;
    std::error_code ignored;
    std::filesystem::create_directories(folder_, ignored);
    const std::filesystem::path file = folder_ / ("Ole" + std::to_string(count_) + "." + content.extension);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (out) out.write(content.payload.data(), static_cast<std::streamsize>(content.payload.size()));
    return Utf8Path(file);
}

}  // namespace pw
