// Catalog names of Access's own tables with a flipped bit in their "MSys":
// mended and hidden; names of the user's that only look alike stay.

#include <gtest/gtest.h>

#include "tests/support/Analysis.h"
#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"
#include "tests/support/RowEncoder.h"

namespace pw {
namespace {

using testing::Column;
namespace type = testing::type;

TEST(CatalogNameMend, ASystemTableWhoseNameHasAFlippedBitInItsPrefixIsHiddenAndUserNamesStay) {
    testing::DatabaseBuilder b;
    const std::vector<testing::ColumnSpec> columns = {Column("Id", type::kLong), Column("Name", type::kText, 50)};
    // "MSysNavPaneGroups" and "MSysResources" as one flipped bit leaves them.
    const char* flipped[] = {"MSyrNavPaneGroups", "\rSysResources"};
    // Names of the user's one bit from "MSys", but no table of Access's.
    const char* users[] = {"ESystem", "MSyrData", "Msys"};
    for (const char* name : flipped) b.AddRow(b.AddTable(name, columns), {testing::Long(1), testing::Text("x")});
    for (const char* name : users) b.AddRow(b.AddTable(name, columns), {testing::Long(2), testing::Text("y")});
    testing::TempDir dir;
    const auto path = dir / "names.mdb";
    testing::WriteFile(path, b.Build());
    testing::AnalysedFile file(path);
    ASSERT_TRUE(file.ok);
    std::vector<std::string> listed;
    for (const TableInfo& t : file.tables()) listed.push_back(t.name);
    EXPECT_EQ(listed, (std::vector<std::string>{"ESystem", "MSyrData", "Msys"}));
    EXPECT_EQ(file.damage.Count(DamageKind::RowRepaired), 2);
}

}  // namespace
}  // namespace pw
