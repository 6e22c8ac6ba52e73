#pragma once

#include <cstdint>
#include <vector>

namespace pw::testing {

// The bundled sample: a small shop with Customers, Products and Orders.
// Customers: Id (COUNTER), Name, City (TEXT, some names outside Latin-1),
// Active (BIT). Products: Id (LONG), Name (TEXT), Price (CURRENCY), Weight
// (DOUBLE), Added (DATE), Description (MEMO: inline, single long-value row,
// a chain across two long-value pages, and a null). Orders: Id, CustomerId
// (LONG), OrderDate (DATE), Amount (NUMERIC 18,2); one order is deleted.
struct ShopSample {
    std::vector<std::uint8_t> intact;
    // The intact file with its catalog data pages zeroed and its first 1000
    // bytes cut off, so page 1 starts at file position 3096 and no table
    // keeps its name.
    std::vector<std::uint8_t> damaged;
    std::vector<std::int32_t> catalogPages;
    std::vector<std::int32_t> longValuePages;
};

ShopSample BuildShopSample();

}  // namespace pw::testing
