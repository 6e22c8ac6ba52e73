#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "records/ScalarDecoders.h"
#include "tests/support/CorpusFiles.h"

namespace pw {
namespace {

std::vector<std::uint8_t> ReadPage(const std::string& fileName, std::int64_t pageNumber) {
    std::vector<std::uint8_t> page(kPageSize, 0);
    std::ifstream in(testing::CorpusDir() / "files" / fileName, std::ios::binary);
    in.seekg(pageNumber * kPageSize);
    in.read(reinterpret_cast<char*>(page.data()), kPageSize);
    return page;
}

// The cell pads to the precision; the reference writes no leading zeros.
std::string WithoutPadding(std::string text) {
    const std::size_t digits = text[0] == '-' ? 1 : 0;
    while (text.size() > digits + 1 && text[digits] == '0' && text[digits + 1] != '.') text.erase(digits, 1);
    return text;
}

nlohmann::json ExpectedRow(const std::string& fileName, std::size_t table, std::size_t row) {
    std::ifstream in(testing::CorpusDir() / "expected" / (fileName + ".json"));
    return nlohmann::json::parse(in)["tables"][table]["rows"][row];
}

// Six NUMERIC(18, 0) columns of one row, stored back to back on page 28.
TEST(CorpusNumericLayout, SmallValuesWithTheirSigns) {
    PW_REQUIRE_CORPUS();
    const std::string file = "andipaetzold__test_data_V2000_numeric.mdb";
    const std::vector<std::uint8_t> page = ReadPage(file, 28);
    const nlohmann::json expected = ExpectedRow(file, 0, 0);
    for (int column = 0; column < 6; ++column) {
        DecodedCell cell = DecodeNumericValue(page, 3964 + 17 * column, 18, 0);
        EXPECT_EQ(WithoutPadding(cell.text), expected[1 + column].get<std::string>()) << column;
    }
}

// NUMERIC(18, 6) values whose magnitudes need more than one 32-bit group.
TEST(CorpusNumericLayout, MagnitudeSpansSeveralGroups) {
    PW_REQUIRE_CORPUS();
    const std::string file = "jahlborn__src_test_data_V2010_calcFieldTestV2010.accdb";
    const std::vector<std::uint8_t> page = ReadPage(file, 90);
    constexpr int kPopularity = 13;
    EXPECT_EQ(DecodeNumericValue(page, 2614, 18, 6).text,
              ExpectedRow(file, 0, 3)[kPopularity].get<std::string>());  // 102030405060.654321
    EXPECT_EQ(WithoutPadding(DecodeNumericValue(page, 3517, 18, 6).text),
              ExpectedRow(file, 0, 1)[kPopularity].get<std::string>());  // -36.222200
}

}  // namespace
}  // namespace pw
