// Calculated (expression) columns of the corpus. The expected files hold only
// the wrapper bytes for them, so each value is checked against what its
// expression makes of the row's other columns.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "records/RowWalk.h"
#include "schema/ColumnTypes.h"
#include "tests/support/Analysis.h"
#include "tests/support/CorpusFiles.h"

namespace pw {
namespace {

using Kind = TypedValue::Kind;

std::filesystem::path CorpusPath(const std::string& name) { return testing::CorpusDir() / "files" / name; }

// Every live row of a table as its cells by column name.
std::vector<std::map<std::string, CellValue>> Rows(testing::AnalysedFile& file, const TableInfo& table) {
    std::vector<std::map<std::string, CellValue>> rows;
    ForEachRow(file.analysis.pages(), table, file.control(), [&](const WalkedRow& row) {
        if (!row.IsRecord()) return true;
        std::map<std::string, CellValue>& cells = rows.emplace_back();
        for (std::size_t i = 0; i < table.columns.size() && i < row.cells.size(); ++i)
            cells[table.columns[i].name] = row.cells[i];
        return true;
    });
    return rows;
}

std::set<std::string> CalculatedNames(const TableInfo& table) {
    std::set<std::string> names;
    for (const ColumnInfo& column : table.columns)
        if (column.calculated) names.insert(column.name);
    return names;
}

long double DecimalOf(const TypedValue& v) {
    long double x = static_cast<long double>(v.decimalMagnitude);
    for (int i = 0; i < v.decimalScale; ++i) x /= 10;
    return v.decimalNegative ? -x : x;
}

long double CurrencyOf(const TypedValue& v) { return static_cast<long double>(v.integer) / 10000; }

bool Near(long double a, long double b, long double relative) {
    return std::fabs(a - b) <= relative * std::max<long double>(1, std::fabs(b));
}

TEST(CorpusCalculatedColumns, ValuesFollowTheirExpressions) {
    PW_REQUIRE_CORPUS();
    testing::AnalysedFile file(CorpusPath("jahlborn__src_test_data_V2010_calcFieldTestV2010.accdb"));
    ASSERT_TRUE(file.ok);
    const TableInfo& table = file.Table("Table1");
    EXPECT_EQ(CalculatedNames(table),
              (std::set<std::string>{"LastFirst", "LastFirstLen", "MonthlySalary", "IsRich", "AllNames",
                                     "WeeklySalary", "SalaryTest", "BoolTest", "DecimalTest", "FloatTest",
                                     "BigNumTest"}));
    const auto rows = Rows(file, table);
    ASSERT_EQ(rows.size(), 4u);
    for (const auto& row : rows) {
        const std::string first = row.at("FirstName").value.text;
        const std::string last = row.at("LastName").value.text;
        SCOPED_TRACE(first + " " + last);
        const TypedValue& salary = row.at("Salary").value;
        ASSERT_EQ(salary.kind, Kind::Currency);
        const TypedValue& popularity = row.at("Popularity").value;
        ASSERT_EQ(popularity.kind, Kind::Decimal);

        // [LastName] & ", " & [FirstName]
        const TypedValue& lastFirst = row.at("LastFirst").value;
        ASSERT_EQ(lastFirst.kind, Kind::Text);
        EXPECT_EQ(lastFirst.text, last + ", " + first);
        EXPECT_EQ(row.at("LastFirst").text, last + ", " + first);
        // Len([LastFirst]) (the names are ASCII)
        const TypedValue& length = row.at("LastFirstLen").value;
        ASSERT_EQ(length.kind, Kind::Integer);
        EXPECT_EQ(length.integer, static_cast<std::int64_t>(lastFirst.text.size()));
        // [Salary]/12, a currency though the column is coded DOUBLE. A zero
        // has the same bits either way and takes the column's type.
        const TypedValue& monthly = row.at("MonthlySalary").value;
        if (salary.integer == 0) {
            ASSERT_EQ(monthly.kind, Kind::Float);
            EXPECT_EQ(monthly.real, 0.0);
        } else {
            ASSERT_EQ(monthly.kind, Kind::Currency);
            EXPECT_LT(std::llabs(monthly.integer * 12 - salary.integer), 12);
        }
        // [Salary]>100000
        const TypedValue& rich = row.at("IsRich").value;
        ASSERT_EQ(rich.kind, Kind::Boolean);
        EXPECT_EQ(rich.boolean, salary.integer > 100000LL * 10000);
        // [LastName] & ", " & [FirstName] & "=" & [LastFirst], a memo result
        const TypedValue& all = row.at("AllNames").value;
        ASSERT_EQ(all.kind, Kind::Text);
        EXPECT_EQ(all.text, lastFirst.text + "=" + lastFirst.text);
        // [Salary]/52, a decimal
        const TypedValue& weekly = row.at("WeeklySalary").value;
        ASSERT_EQ(weekly.kind, Kind::Decimal);
        EXPECT_TRUE(Near(DecimalOf(weekly), CurrencyOf(salary) / 52, 1e-12L)) << row.at("WeeklySalary").text;
        // [Salary]
        const TypedValue& salaryTest = row.at("SalaryTest").value;
        ASSERT_EQ(salaryTest.kind, Kind::Currency);
        EXPECT_EQ(salaryTest.integer, salary.integer);
        // True
        const TypedValue& boolTest = row.at("BoolTest").value;
        ASSERT_EQ(boolTest.kind, Kind::Boolean);
        EXPECT_TRUE(boolTest.boolean);
        // [Popularity]
        const TypedValue& decimal = row.at("DecimalTest").value;
        ASSERT_EQ(decimal.kind, Kind::Decimal);
        EXPECT_EQ(decimal.decimalMagnitude, popularity.decimalMagnitude);
        EXPECT_EQ(decimal.decimalScale, popularity.decimalScale);
        EXPECT_EQ(decimal.decimalNegative, popularity.decimalNegative);
        // [Salary]*0.13/[DecimalTest], a single
        const TypedValue& single = row.at("FloatTest").value;
        ASSERT_EQ(single.kind, Kind::Float);
        EXPECT_TRUE(single.isSingle);
        const long double ratio = CurrencyOf(salary) * 0.13L / DecimalOf(decimal);
        EXPECT_TRUE(Near(single.real, ratio, 1e-6L)) << single.real << " vs " << static_cast<double>(ratio);
        // ([Salary]*[MonthlySalary]/[DecimalTest])*34.12342134, a decimal
        const TypedValue& big = row.at("BigNumTest").value;
        ASSERT_EQ(big.kind, Kind::Decimal);
        const long double monthlyValue = monthly.kind == Kind::Currency ? CurrencyOf(monthly) : monthly.real;
        const long double product = CurrencyOf(salary) * monthlyValue / DecimalOf(decimal) * 34.12342134L;
        EXPECT_TRUE(Near(DecimalOf(big), product, 1e-12L)) << row.at("BigNumTest").text;
    }
    // What the decoding of these values could report.
    EXPECT_EQ(file.damage.Count(DamageKind::ValueOutOfRange), 0);
    EXPECT_EQ(file.damage.Count(DamageKind::LongValueBroken), 0);
}

TEST(CorpusCalculatedColumns, DateResultIsTheDateItCopies) {
    PW_REQUIRE_CORPUS();
    testing::AnalysedFile file(CorpusPath("jahlborn__src_test_data_V2019_extDateTestV2019.accdb"));
    ASSERT_TRUE(file.ok);
    const TableInfo& table = file.Table("Table1");
    EXPECT_EQ(CalculatedNames(table), std::set<std::string>{"DateNormalCalc"});
    const auto rows = Rows(file, table);
    ASSERT_EQ(rows.size(), 9u);
    std::size_t nulls = 0;
    for (const auto& row : rows) {
        // [DateNormal]
        const CellValue& normal = row.at("DateNormal");
        const CellValue& calc = row.at("DateNormalCalc");
        SCOPED_TRACE(row.at("Field1").value.text);
        if (!normal.present) {
            EXPECT_EQ(calc.value.kind, Kind::Null);
            ++nulls;
            continue;
        }
        ASSERT_EQ(calc.value.kind, Kind::Date);
        EXPECT_EQ(calc.value.real, normal.value.real);
        EXPECT_EQ(calc.text, normal.text);
    }
    EXPECT_EQ(nulls, 1u);
    // What the decoding of these values could report.
    EXPECT_EQ(file.damage.Count(DamageKind::ValueOutOfRange), 0);
    EXPECT_EQ(file.damage.Count(DamageKind::LongValueBroken), 0);
}

TEST(CorpusCalculatedColumns, OnlyTheseTwoFilesHaveCalculatedColumns) {
    PW_REQUIRE_CORPUS();
    for (const testing::CorpusFile& corpusFile : testing::ListCorpusFiles()) {
        if (corpusFile.format == "JET3" || corpusFile.format == "error") continue;
        if (corpusFile.name.find("calcFieldTest") != std::string::npos ||
            corpusFile.name.find("extDateTest") != std::string::npos)
            continue;
        testing::AnalysedFile file(corpusFile.path);
        for (const TableInfo& table : file.tables())
            EXPECT_TRUE(CalculatedNames(table).empty()) << corpusFile.name << " " << table.name;
    }
}

}  // namespace
}  // namespace pw
