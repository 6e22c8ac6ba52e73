// Reading the FileData of an attachment: the header, the zlib stream, and
// every way a damaged file can spoil them.

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

#include "records/AttachmentData.h"

namespace pw {
namespace {

void PutWord(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// The block Access expands to: its header with the extension, then the file.
std::string Block(const std::string& extension, const std::string& file) {
    std::string block;
    PutWord(block, static_cast<std::uint32_t>(12 + 2 * (extension.size() + 1)));
    PutWord(block, 1);
    PutWord(block, static_cast<std::uint32_t>(extension.size() + 1));
    for (char c : extension) {
        block.push_back(c);
        block.push_back('\0');
    }
    block.append(2, '\0');
    return block + file;
}

std::string Deflate(const std::string& bytes) {
    uLongf size = compressBound(bytes.size());
    std::string out(size, '\0');
    compress(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size());
    out.resize(size);
    return out;
}

std::string Stored(const std::string& block, bool compressed, std::uint32_t stated) {
    std::string out;
    PutWord(out, compressed ? 1 : 0);
    PutWord(out, stated);
    return out + (compressed ? Deflate(block) : block);
}

std::string Stored(const std::string& block, bool compressed = true) {
    return Stored(block, compressed, static_cast<std::uint32_t>(block.size()));
}

const std::string kText = "Attachment 1, a line of text that repeats. Attachment 1, a line of text that repeats.";

TEST(AttachmentData, CompressedBlockGivesTheFileAndItsExtension) {
    const AttachmentContent content = ReadAttachmentData(Stored(Block("txt", kText)));
    EXPECT_EQ(content.outcome, AttachmentDataOutcome::Complete);
    EXPECT_TRUE(content.compressed);
    EXPECT_EQ(content.extension, "txt");
    EXPECT_EQ(content.bytes, kText);
    EXPECT_EQ(content.statedBlockSize, Block("txt", kText).size());
}

TEST(AttachmentData, UncompressedBlockIsTakenAsStored) {
    const std::string jpeg = std::string("\xFF\xD8\xFF\xE0", 4) + std::string(300, 'j');
    const AttachmentContent content = ReadAttachmentData(Stored(Block("jpg", jpeg), false));
    EXPECT_EQ(content.outcome, AttachmentDataOutcome::Complete);
    EXPECT_FALSE(content.compressed);
    EXPECT_EQ(content.extension, "jpg");
    EXPECT_EQ(content.bytes, jpeg);
}

TEST(AttachmentData, NothingStoredIsNoDamage) {
    EXPECT_EQ(ReadAttachmentData("").outcome, AttachmentDataOutcome::Empty);
}

TEST(AttachmentData, EveryCutGivesAPrefixOfTheFileAndNeverComplete) {
    for (bool compressed : {true, false}) {
        const std::string whole = Stored(Block("txt", kText), compressed);
        for (std::size_t length = 0; length < whole.size(); ++length) {
            SCOPED_TRACE(length);
            const AttachmentContent content = ReadAttachmentData(whole.substr(0, length));
            EXPECT_NE(content.outcome, AttachmentDataOutcome::Complete);
            if (length < 8 && length > 0) {
                EXPECT_EQ(content.outcome, AttachmentDataOutcome::HeaderCut);
            }
            if (content.outcome == AttachmentDataOutcome::InnerHeaderBad || length < 8) continue;
            EXPECT_LE(content.bytes.size(), kText.size());
            if (compressed) {
                EXPECT_EQ(content.bytes, kText.substr(0, content.bytes.size()));
            }
        }
    }
}

TEST(AttachmentData, FlippedBytesGiveADefinedResultWithinTheStatedSize) {
    const std::string whole = Stored(Block("txt", kText));
    int damaged = 0;
    for (std::size_t at = 0; at < whole.size(); ++at) {
        for (unsigned char mask : {0x01, 0x80, 0xFF}) {
            std::string flipped = whole;
            flipped[at] = static_cast<char>(flipped[at] ^ mask);
            const AttachmentContent content = ReadAttachmentData(flipped, 1 << 20);
            EXPECT_LE(content.bytes.size(), std::max<std::size_t>(content.statedBlockSize, flipped.size()));
            if (content.outcome != AttachmentDataOutcome::Complete) ++damaged;
        }
    }
    // The stream's checksum and the stated size catch nearly every flip.
    EXPECT_GT(damaged, static_cast<int>(whole.size()) * 2);
}

TEST(AttachmentData, AStreamThatIsNoZlibStreamIsBroken) {
    std::string stored;
    PutWord(stored, 1);
    PutWord(stored, 100);
    stored += "this is not deflate data at all";
    const AttachmentContent content = ReadAttachmentData(stored);
    EXPECT_EQ(content.outcome, AttachmentDataOutcome::StreamBroken);
    EXPECT_LE(content.bytes.size(), 100u);
}

TEST(AttachmentData, AStreamCutShortIsReportedWithWhatExpanded) {
    const std::string file(100000, 'x');
    std::string stored = Stored(Block("txt", file));
    stored.resize(stored.size() - 4);  // drops the checksum
    const AttachmentContent content = ReadAttachmentData(stored);
    EXPECT_EQ(content.outcome, AttachmentDataOutcome::StreamCut);
    EXPECT_EQ(content.bytes, file.substr(0, content.bytes.size()));
}

TEST(AttachmentData, ABombStopsAtTheStatedSize) {
    // 64 MiB of zeros deflate to about 64 KiB; the header says 100 bytes.
    const std::string bomb = Deflate(std::string(64u << 20, '\0'));
    std::string stored;
    PutWord(stored, 1);
    PutWord(stored, 100);
    stored += bomb;
    const AttachmentContent content = ReadAttachmentData(stored);
    EXPECT_EQ(content.outcome, AttachmentDataOutcome::SizeMismatch);
    EXPECT_LE(content.bytes.size(), 100u);
}

TEST(AttachmentData, ABombWithAHugeStatedSizeStopsAtTheLimit) {
    const std::string bomb = Deflate(std::string(16u << 20, '\0'));
    std::string stored;
    PutWord(stored, 1);
    PutWord(stored, 0xFFFFFFFFu);
    stored += bomb;
    const AttachmentContent content = ReadAttachmentData(stored, 1u << 20);
    EXPECT_EQ(content.outcome, AttachmentDataOutcome::OverLimit);
    EXPECT_LE(content.bytes.size(), 1u << 20);
}

TEST(AttachmentData, AStatedSizeThatDiffersIsAMismatch) {
    const std::string block = Block("txt", kText);
    EXPECT_EQ(ReadAttachmentData(Stored(block, true, static_cast<std::uint32_t>(block.size() + 5))).outcome,
              AttachmentDataOutcome::SizeMismatch);
    EXPECT_EQ(ReadAttachmentData(Stored(block, false, static_cast<std::uint32_t>(block.size() - 5))).outcome,
              AttachmentDataOutcome::SizeMismatch);
}

TEST(AttachmentData, AnInnerHeaderThatDoesNotFitLeavesTheWholeBlock) {
    std::string block = Block("txt", kText);
    block[0] = static_cast<char>(0xF0);  // a header longer than the block
    block[1] = static_cast<char>(0xFF);
    const AttachmentContent content = ReadAttachmentData(Stored(block));
    EXPECT_EQ(content.outcome, AttachmentDataOutcome::InnerHeaderBad);
    EXPECT_EQ(content.bytes, block);

    std::string units = Block("txt", kText);
    units[8] = static_cast<char>(0xFF);  // more extension than the header holds
    EXPECT_EQ(ReadAttachmentData(Stored(units)).outcome, AttachmentDataOutcome::InnerHeaderBad);
}

TEST(AttachmentData, AnUnknownCompressionWordIsDamage) {
    std::string stored = Stored(Block("txt", kText), false);
    stored[0] = 7;
    const AttachmentContent content = ReadAttachmentData(stored);
    EXPECT_EQ(content.outcome, AttachmentDataOutcome::UnknownFlag);
    EXPECT_EQ(content.bytes, kText);
}

TEST(AttachmentData, InflateHoldsToItsLimit) {
    std::string out;
    EXPECT_EQ(InflateZlib(Deflate(std::string(5000, 'a')), 1000, out), AttachmentDataOutcome::OverLimit);
    EXPECT_EQ(out.size(), 1000u);
    EXPECT_EQ(InflateZlib(Deflate(std::string(5000, 'a')), 5000, out), AttachmentDataOutcome::Complete);
    EXPECT_EQ(out, std::string(5000, 'a'));
    EXPECT_EQ(InflateZlib("", 10, out), AttachmentDataOutcome::StreamCut);
}

}  // namespace
}  // namespace pw
