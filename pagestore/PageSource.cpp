#include "pagestore/PageSource.h"

#include <cstring>

namespace pw {

void PageSource::ReadPageRun(std::int32_t first, std::int32_t count, std::uint8_t* out, PageRead* got) const {
    PageBuffer page;
    for (std::int32_t k = 0; k < count; ++k) {
        got[k] = ReadPage(page, first + k);
        std::memcpy(out + static_cast<std::size_t>(k) * kPageSize, page.data(), kPageSize);
    }
}

}  // namespace pw
