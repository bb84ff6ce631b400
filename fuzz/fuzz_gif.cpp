#include "fuzz_decode.h"

// Animated files are read one frame at a time with the frame field set, and
// every later frame runs the composition of the earlier ones: try a few.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (long frame : {0L, 1L, 3L})
        FuzzDecode(data, size, FormatGif, frame);
    return 0;
}
