// A memo or OLE field and the long-value pages its pointers lead to: the
// gathering of inline values, single rows and chains, memo text, the OLE
// object and its wrapper, and an expression column kept as a long value.
//
//   byte 0      bits 2 to 7: bytes the field holds past its 12-byte header,
//               in fours (inline values live there)
//   field       the field itself, header first
//   pages       the long-value pages (fuzz/PageBundle.h)
//
// The field is copied into a buffer of exactly its size, so a read past its
// end is a sanitizer report, not a read of the next row.

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/PageBundle.h"
#include "records/CalculatedValue.h"
#include "records/LongValueGather.h"
#include "records/LongValues.h"
#include "records/OleHeader.h"
#include "records/OleValue.h"
#include "records/ValueDispatch.h"
#include "schema/ColumnTypes.h"
#include "status/DamageReport.h"

namespace {

pw::ColumnInfo Column(std::int32_t type, bool calculated) {
    pw::ColumnInfo column;
    column.name = "value";
    column.typeCode = type;
    column.calculated = calculated;
    return column;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t wanted = static_cast<std::size_t>(pw::kLongValueHeaderSize) + (data[0] >> 2) * 4u;
    const std::size_t fieldSize = std::min(wanted, size - 1);
    const std::vector<std::uint8_t> field(data + 1, data + 1 + fieldSize);
    const pw::ByteView fieldView(field.data(), field.size());
    const auto length = static_cast<std::int64_t>(field.size());
    const pw::fuzz::PageBundle pages(pw::ByteView(data + 1 + fieldSize, size - 1 - fieldSize), 6);

    std::size_t seen = 0;
    pw::LongValueForm form = pw::LongValueForm::TooShort;
    pw::LongValueIssue issue = pw::LongValueIssue::None;
    std::string bytes = pw::GatherLongValue(pages, fieldView, 0, length, form, &issue);
    if (bytes.size() > 0xFFFFFF) __builtin_trap();  // more than the 24-bit length can declare
    std::string extension;
    pw::ParseOleHeader(bytes, extension);
    seen += bytes.size() + extension.size();

    seen += pw::DecodeMemoValue(pages, fieldView, 0, length).text.size();
    const pw::DecodedCell ole = pw::DecodeOleValue(pages, fieldView, 0, length);
    if (ole.value.kind == pw::TypedValue::Kind::Bytes) {
        const pw::OleContent content = pw::UnwrapOleObject(ole.value.text);
        seen += content.payload.size() + content.extension.size();
    }

    // Through the dispatch, with damage reported as a walk reports it.
    pw::DamageReport damage;
    const pw::RunControl run{nullptr, nullptr, &damage};
    const std::string table = "Fuzzed";
    const pw::ValueContext context{&pages, &run, 1, 0, &table};
    for (const pw::ColumnInfo& column :
         {Column(pw::ColumnType::Memo, false), Column(pw::ColumnType::OleObject, false),
          Column(pw::ColumnType::Memo, true), Column(pw::ColumnType::Text, true)}) {
        pw::DecodedCell cell;
        pw::DecodeValue(context, fieldView, column, 0, length, cell);
        seen += cell.text.size();
    }
    return seen == static_cast<std::size_t>(-1);
}
