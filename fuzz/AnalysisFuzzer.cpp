// The whole analysis of an input: recognition, page scan, table discovery,
// catalog names.

#include "fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    pw::fuzz::InitializeFuzzing();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pw::fuzz::FuzzAnalysis input(data, size);
    return 0;
}
