#include "raster.h"

#include <atomic>

namespace {
std::atomic<RasterMessageHandler> g_handler{nullptr};
}

void SetRasterMessageHandler(RasterMessageHandler handler)
{
    g_handler.store(handler);
}

void RasterMessageBox(const char* text, const char* caption, RasterBoxIcon icon)
{
    if (RasterMessageHandler handler = g_handler.load())
        handler(text ? text : "", caption ? caption : "", icon);
}
