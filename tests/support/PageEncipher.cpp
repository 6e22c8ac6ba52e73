#include "tests/support/PageEncipher.h"

#include <algorithm>

#include "pagestore/ByteView.h"
#include "pagestore/PageCipher.h"

namespace pw::testing {

bool EncipherJet4Pages(std::vector<std::uint8_t>& file, std::uint32_t databaseKey) {
    if (databaseKey == 0 || file.size() < static_cast<std::size_t>(kPageSize)) return false;
    if (!IsJet4Header(ByteView(file.data(), kPageSize))) return false;
    ToggleHeaderMask(file.data(), kPageSize);
    for (std::size_t i = 0; i < 4; ++i)
        file[kDatabaseKeyOffset + i] = static_cast<std::uint8_t>(databaseKey >> (8 * i));
    ToggleHeaderMask(file.data(), kPageSize);
    const PageCipher cipher = PageCipher::FromKey(databaseKey);
    for (std::size_t start = kPageSize, page = 1; start < file.size(); start += kPageSize, ++page)
        cipher.Decode(file.data() + start, std::min<std::size_t>(kPageSize, file.size() - start),
                      static_cast<std::int32_t>(page));
    return true;
}

}  // namespace pw::testing
