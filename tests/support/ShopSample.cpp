#include "tests/support/ShopSample.h"

#include <string>

#include "tests/support/DatabaseBuilder.h"
#include "tests/support/FileTools.h"

namespace pw::testing {
namespace {

constexpr std::size_t kDamagedPrefix = 1000;

void AddCustomers(DatabaseBuilder& db) {
    ColumnSpec id = Column("Id", type::kLong);
    id.autoNumber = true;
    const auto customers =
        db.AddTable("Customers", {id, Column("Name", type::kText, 100), Column("City", type::kText, 100),
                                  Column("Active", type::kBit)});
    db.AddRow(customers, {Long(1), TextCompressed("Anna Schmidt"), TextCompressed("Berlin"), Bit(true)});
    db.AddRow(customers, {Long(2), Text("Zoë Martin"), Text("Lyon"), Bit(true)});
    db.AddRow(customers, {Long(3), Text("Дмитрий Иванов"), Text("Москва"), Bit(false)});
    db.AddRow(customers, {Long(4), Text("李雷"), Text("北京"), Bit(true)});
    db.AddRow(customers, {Long(5), TextCompressed("José Núñez"), Null, Bit(false)});
}

std::string LongDescription() {
    std::string text;
    for (int line = 1; text.size() < 3400; ++line) {
        text += "Line " + std::to_string(line) +
                ": hand-made oak shelf, oiled, with brass fittings; delivered flat-packed. ";
    }
    return text;
}

void AddProducts(DatabaseBuilder& db) {
    const auto products =
        db.AddTable("Products", {Column("Id", type::kLong), Column("Name", type::kText, 100),
                                 Column("Price", type::kCurrency), Column("Weight", type::kDouble),
                                 Column("Added", type::kDate), Column("Description", type::kMemo)});
    db.AddRow(products, {Long(101), Text("Teapot"), Currency(129900), Double(0.85), Date(45292.0),
                         db.Memo("Porcelain, 1.2 l.", TextStorage::Compressed)});
    db.AddRow(products,
              {Long(102), Text("Samovar"), Currency(8950000), Double(4.25), Date(45306.5),
               db.Memo("Самовар из латуни, 5 литров.", TextStorage::Ucs2, {LongValueForm::SingleRow})});
    // About 7 KB of UCS-2 in two pieces, each on its own long-value page.
    db.AddRow(products, {Long(103), Text("Oak shelf"), Currency(-250000), Double(12.5), Date(45350.75),
                         db.Memo(LongDescription(), TextStorage::Ucs2, {LongValueForm::Chain, 3600, true})});
    db.AddRow(products, {Long(104), Text("Gift card"), Currency(0), Null, Date(45400.0), Null});
}

void AddOrders(DatabaseBuilder& db) {
    const auto orders =
        db.AddTable("Orders", {Column("Id", type::kLong), Column("CustomerId", type::kLong),
                               Column("OrderDate", type::kDate), NumericColumn("Amount", 18, 2)});
    db.AddRow(orders, {Long(1001), Long(2), Date(45310.4375), Numeric(25980)});
    db.AddRow(orders, {Long(1002), Long(3), Date(45311.0), Numeric(8950000)});
    RowOptions deleted;
    deleted.deleted = true;
    db.AddRow(orders, {Long(1003), Long(1), Date(45312.25), Numeric(-1500)}, deleted);
    db.AddRow(orders, {Long(1004), Long(4), Date(45313.9), Numeric(129900)});
}

}  // namespace

ShopSample BuildShopSample() {
    DatabaseBuilder db;
    AddCustomers(db);
    AddProducts(db);
    AddOrders(db);

    ShopSample sample;
    sample.intact = db.Build();
    sample.catalogPages = db.CatalogPages();
    sample.longValuePages = db.LongValuePages();
    std::vector<std::uint8_t> damaged = sample.intact;
    for (std::int32_t page : sample.catalogPages) ZeroPage(damaged, page);
    sample.damaged = CutStart(damaged, kDamagedPrefix);
    return sample;
}

}  // namespace pw::testing
