#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pw {

// Access keeps an attached file in the FileData column behind a small header:
//   bytes 0..3  1 when the rest is a zlib (deflate) stream, 0 when stored as is
//   bytes 4..7  size of the block the rest expands to
// and that block starts with a header of its own before the file's bytes:
//   bytes 0..3  length of this header (the file's bytes start there)
//   bytes 4..7  a version word (1)
//   bytes 8..11 count of UTF-16 units of the extension, its terminating zero included
//   bytes 12..  the extension in UTF-16LE
inline constexpr std::size_t kAttachmentOuterHeaderSize = 8;
inline constexpr std::size_t kAttachmentInnerHeaderMinimum = 12;

// A damaged size word can ask for gigabytes, and a small stream can expand to
// gigabytes: no attachment grows past this, whatever the header states.
inline constexpr std::size_t kMaxAttachmentBytes = std::size_t{256} << 20;

// How the stored bytes were read. Every outcome but Complete is damage.
enum class AttachmentDataOutcome {
    Complete,        // the block had the stated size and the file's bytes came whole
    Empty,           // nothing stored (no damage: an attachment row may hold no data)
    HeaderCut,       // fewer bytes than the outer header
    UnknownFlag,     // a compression word other than 0 and 1; the bytes after it are taken as stored
    StreamBroken,    // the zlib stream is not one: what expanded before the fault is kept
    StreamCut,       // the zlib stream ends early: what expanded is kept
    SizeMismatch,    // the block is longer or shorter than the header states
    InnerHeaderBad,  // the block's own header does not fit: the whole block is the content
    OverLimit,       // the block would grow past the limit: cut there
};
const char* AttachmentDataOutcomeText(AttachmentDataOutcome outcome);

struct AttachmentContent {
    AttachmentDataOutcome outcome = AttachmentDataOutcome::Empty;
    bool compressed = false;
    std::uint32_t statedBlockSize = 0;  // the outer header's size word
    std::string extension;              // from the block's header, UTF-8 (may be empty)
    std::string bytes;                  // the file as far as it could be recovered
};

// Reads the stored FileData bytes. Never reads outside `stored`, never holds
// more than `limit` expanded bytes.
AttachmentContent ReadAttachmentData(std::string_view stored, std::size_t limit = kMaxAttachmentBytes);

// Expands a zlib stream into `out`, at most `limit` bytes. Returns Complete
// when the stream ended properly, StreamCut, StreamBroken or OverLimit.
AttachmentDataOutcome InflateZlib(std::string_view stream, std::size_t limit, std::string& out);

}  // namespace pw
