// The libFuzzer entry point of one target, named by FLAGSTORM_FUZZ_NAME.
#include <cstdlib>

#include "fuzz/fuzz_target.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const fuzz::Entry entry = fuzz::find(FLAGSTORM_FUZZ_NAME);
    if (entry == nullptr) {
        std::abort();
    }
    return entry(data, size);
}
