#include "records/AttachmentData.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "pagestore/ByteView.h"
#include "pagestore/TextDecoding.h"

namespace pw {
namespace {

constexpr std::uint32_t kStoredAsIs = 0;
constexpr std::uint32_t kDeflated = 1;
// The longest extension worth reading; a damaged count asks for more.
constexpr std::uint32_t kMaxExtensionUnits = 64;
constexpr std::size_t kInflateChunk = 64 * 1024;

std::uint32_t Word(std::string_view bytes, std::size_t at) {
    if (at + 4 > bytes.size()) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Cuts the block's own header off. A header that does not fit leaves the
// whole block as the content, since that keeps every byte there is; but a
// block that ended early (a cut or broken stream) inside a header that looks
// right holds none of the file yet, and its content is empty.
bool SplitBlock(std::string& block, std::string& extension, bool endedEarly) {
    const std::uint32_t headerSize = Word(block, 0);
    const std::uint32_t units = Word(block, 8);
    const bool plausible = headerSize >= kAttachmentInnerHeaderMinimum &&
                           headerSize <= kAttachmentInnerHeaderMinimum + 2 * std::size_t{kMaxExtensionUnits};
    if (endedEarly && (block.size() < 4 || (plausible && block.size() < headerSize))) {
        block.clear();
        return false;
    }
    if (block.size() < kAttachmentInnerHeaderMinimum) return false;
    if (!plausible || headerSize > block.size() || units > kMaxExtensionUnits ||
        kAttachmentInnerHeaderMinimum + 2 * std::size_t{units} > headerSize)
        return false;
    const ByteView view(reinterpret_cast<const std::uint8_t*>(block.data()), block.size());
    extension = DecodeUcs2(view, kAttachmentInnerHeaderMinimum, 2 * std::int64_t{units});
    while (!extension.empty() && extension.back() == '\0') extension.pop_back();
    block.erase(0, headerSize);
    return true;
}

}  // namespace

const char* AttachmentDataOutcomeText(AttachmentDataOutcome outcome) {
    switch (outcome) {
        case AttachmentDataOutcome::Complete: return "complete";
        case AttachmentDataOutcome::Empty: return "no data stored";
        case AttachmentDataOutcome::HeaderCut: return "attachment data shorter than its header";
        case AttachmentDataOutcome::UnknownFlag: return "attachment data with an unknown compression word";
        case AttachmentDataOutcome::StreamBroken: return "attachment data is not a valid zlib stream";
        case AttachmentDataOutcome::StreamCut: return "attachment zlib stream ends early";
        case AttachmentDataOutcome::SizeMismatch: return "attachment data differs from its stated size";
        case AttachmentDataOutcome::InnerHeaderBad: return "attachment data header does not fit";
        case AttachmentDataOutcome::OverLimit: return "attachment larger than the limit, cut";
    }
    return "unknown";
}

AttachmentDataOutcome InflateZlib(std::string_view stream, std::size_t limit, std::string& out) {
    out.clear();
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return AttachmentDataOutcome::StreamBroken;
    AttachmentDataOutcome outcome = AttachmentDataOutcome::StreamCut;
    std::size_t consumed = 0;
    // Input and output go in chunks that fit zlib's 32-bit counters; the
    // output grows only as far as the stream really expands.
    while (true) {
        if (z.avail_in == 0 && consumed < stream.size()) {
            const std::size_t take = std::min<std::size_t>(stream.size() - consumed, UINT_MAX / 2);
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data() + consumed));
            z.avail_in = static_cast<uInt>(take);
            consumed += take;
        }
        if (out.size() >= limit) {
            outcome = AttachmentDataOutcome::OverLimit;
            break;
        }
        const std::size_t before = out.size();
        const std::size_t room = std::min(kInflateChunk, limit - before);
        out.resize(before + room);
        z.next_out = reinterpret_cast<Bytef*>(out.data() + before);
        z.avail_out = static_cast<uInt>(room);
        const int result = inflate(&z, Z_NO_FLUSH);
        out.resize(before + (room - z.avail_out));
        if (result == Z_STREAM_END) {
            outcome = AttachmentDataOutcome::Complete;
            break;
        }
        if (result == Z_NEED_DICT || result == Z_DATA_ERROR || result == Z_STREAM_ERROR || result == Z_MEM_ERROR) {
            outcome = AttachmentDataOutcome::StreamBroken;
            break;
        }
        // No progress with all input given: the stream was cut.
        if (result == Z_BUF_ERROR || (z.avail_in == 0 && consumed >= stream.size() && z.avail_out != 0)) {
            outcome = AttachmentDataOutcome::StreamCut;
            break;
        }
    }
    inflateEnd(&z);
    return outcome;
}

AttachmentContent ReadAttachmentData(std::string_view stored, std::size_t limit) {
    AttachmentContent content;
    if (stored.empty()) return content;
    if (stored.size() < kAttachmentOuterHeaderSize) {
        content.outcome = AttachmentDataOutcome::HeaderCut;
        content.bytes.assign(stored);
        return content;
    }
    const std::uint32_t flag = Word(stored, 0);
    content.statedBlockSize = Word(stored, 4);
    content.compressed = flag == kDeflated;
    const std::string_view rest = stored.substr(kAttachmentOuterHeaderSize);
    // The stated size bounds the block, so a stream that expands beyond it
    // (a bomb, or a damaged size) stops one byte past it.
    const std::size_t expected = content.statedBlockSize;
    const std::size_t cap = std::min(limit, expected + 1);

    std::string block;
    AttachmentDataOutcome outcome = AttachmentDataOutcome::Complete;
    if (content.compressed) {
        outcome = InflateZlib(rest, cap, block);
        if (outcome == AttachmentDataOutcome::OverLimit && cap == expected + 1)
            outcome = AttachmentDataOutcome::SizeMismatch;
    } else {
        block.assign(rest.substr(0, std::min(rest.size(), cap)));
        if (rest.size() > limit) outcome = AttachmentDataOutcome::OverLimit;
        else if (flag != kStoredAsIs) outcome = AttachmentDataOutcome::UnknownFlag;
    }
    if (outcome == AttachmentDataOutcome::Complete && block.size() != expected)
        outcome = AttachmentDataOutcome::SizeMismatch;
    if (block.size() > expected) block.resize(expected);
    const bool endedEarly = block.size() < expected && outcome != AttachmentDataOutcome::Complete &&
                            outcome != AttachmentDataOutcome::InnerHeaderBad;
    if (!SplitBlock(block, content.extension, endedEarly) && outcome == AttachmentDataOutcome::Complete)
        outcome = AttachmentDataOutcome::InnerHeaderBad;
    content.outcome = outcome;
    content.bytes = std::move(block);
    return content;
}

}  // namespace pw
