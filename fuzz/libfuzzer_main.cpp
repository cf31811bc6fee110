// The libFuzzer entry of one harness; TARVIL_FUZZ_TARGET names its target.
#include <cstddef>
#include <cstdint>

#include "scratch_directory.h"
#include "targets.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Scripts save files: they only ever see a fresh scratch directory. Paths
    // given to libFuzzer must therefore be absolute.
    tarvil::fuzz::EnterScratchDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tarvil::fuzz::TARVIL_FUZZ_TARGET(data, size);
    return 0;
}
