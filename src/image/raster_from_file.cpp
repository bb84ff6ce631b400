// The constructor that opens a picture file. It lives apart from raster.cpp so
// that programs which never open files do not pull in the decoders.
#include "raster.h"

CRaster::CRaster(const char* fileName, uint32_t type)
{
    Startup(type);
    Load(fileName, type, false);
}
