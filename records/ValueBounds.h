#pragma once

#include <cstdint>

#include "pagestore/ByteView.h"

namespace pw {

// The decoders' page-end test: the value starts inside the page and
// position + width stays strictly below the page size. Written so that a
// damaged position near the integer limits cannot overflow.
inline bool StartsAndEndsBefore(ByteView page, std::int64_t position, std::int64_t width) {
    const std::int64_t size = static_cast<std::int64_t>(page.size());
    return position >= 0 && position < size - width;
}

}  // namespace pw
