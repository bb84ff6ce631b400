// Decodes one picture file and exits: the whole-process half of a comparison
// with another tool (see jpeg_compare.py).
//   decode_driver FILE [TYPE] [REPEAT]   TYPE: 1 BMP, 2 GIF, 3 JPEG (default), 4 PNG
#include <cstdio>
#include <cstdlib>

#include "raster.h"

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [TYPE] [REPEAT]\n", argv[0]);
        return 2;
    }
    const unsigned type = argc > 2 ? unsigned(std::atoi(argv[2])) : 3u;
    const int repeat = argc > 3 ? std::atoi(argv[3]) : 1;
    for (int i = 0; i < repeat; ++i) {
        CRaster img;
        if (!img.Load(argv[1], type, true)) {
            std::fprintf(stderr, "%s: %s\n", argv[1], img.GetLastError());
            return 1;
        }
        if (i == repeat - 1)
            std::printf("%u x %u, %u bits\n", img.GetWidth(), img.GetHeight(), img.GetBpp());
    }
    return 0;
}
