#include "tools/damage/DumpScore.h"

#include <gtest/gtest.h>

namespace pw::damage {
namespace {

using nlohmann::json;

json Expected() {
    return json::parse(R"({"tables": [{"name": "T",
        "columns": [{"name": "Name", "type": "TEXT"}, {"name": "Ratio", "type": "DOUBLE"}, {"name": "Id", "type": "LONG"}],
        "rows": [["a", 1, 7], ["b", 2.5, 8], ["c", null, 9]]}]})");
}

json InferredDump(const json& rows) {
    json table = {{"name", "T"}, {"columnsInferred", true}, {"columns", json::array()}, {"rows", rows}};
    return {{"tables", json::array({table})}};
}

TEST(DumpScore, InferredRowsMatchByValueWhateverColumnHoldsThem) {
    // Columns in another order, a Double written 1.0 for the expected 1, and
    // a value of a dropped column left in the second row: all three rows back.
    const DumpScore score =
        ScoreDump(Expected(), InferredDump(json::parse(R"([[7, 1.0, "a"], [8, 2.5, "b", 300], [9, "c", null]])")), {});
    EXPECT_EQ(score.rowsExpected, 3);
    EXPECT_EQ(score.rowsRecovered, 3);
    EXPECT_EQ(score.garbageRows, 0);
}

TEST(DumpScore, AnInferredRowMissingAValueOrMatchedAlreadyIsGarbage) {
    // The first row lost its Id; "a" twice can stand for one expected row only.
    const DumpScore score =
        ScoreDump(Expected(), InferredDump(json::parse(R"([["a", 1.0], ["b", 2.5, 8], ["b", 2.5, 8, 1]])")), {});
    EXPECT_EQ(score.rowsRecovered, 1);
    EXPECT_EQ(score.garbageRows, 2);
}

TEST(DumpScore, RowsOfATableWithItsDefinitionMatchWholeAndInOrder) {
    json dump = Expected();
    dump["tables"][0]["rows"] = json::parse(R"([["a", 1.0, 7], [8, 2.5, "b"], ["c", null, 9, 5]])");
    const DumpScore score = ScoreDump(Expected(), dump, {});
    EXPECT_EQ(score.rowsRecovered, 2);
    EXPECT_EQ(score.garbageRows, 1);
}

TEST(DumpScore, GarbageRowsOneValueAwayFromAnUnmatchedRowCountAsAltered) {
    // "b" with a flipped Ratio and "c" with a flipped name are real rows with
    // one damaged value; the third row differs in two values and the fourth
    // is one value from a row already matched: plain garbage.
    json dump = Expected();
    dump["tables"][0]["rows"] =
        json::parse(R"([["a", 1, 7], ["b", 2.75, 8], ["C", null, 9], ["x", 1, 8], ["a", 1, 70]])");
    const DumpScore score = ScoreDump(Expected(), dump, {});
    EXPECT_EQ(score.rowsRecovered, 1);
    EXPECT_EQ(score.garbageRows, 4);
    EXPECT_EQ(score.alteredRows, 2);
}

}  // namespace
}  // namespace pw::damage
