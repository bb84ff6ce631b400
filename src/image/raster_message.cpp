#include "raster.h"

#include <atomic>

namespace {
std::atomic<RasterMessageHandler> g_handler{nullptr};
// How many quiet scopes live on this thread.
thread_local int t_quietDepth = 0;
} // namespace

CRasterQuietScope::CRasterQuietScope()
{
    ++t_quietDepth;
}

CRasterQuietScope::~CRasterQuietScope()
{
    --t_quietDepth;
}

bool RasterBoxesQuiet()
{
    return t_quietDepth > 0;
}

void SetRasterMessageHandler(RasterMessageHandler handler)
{
    g_handler.store(handler);
}

void RasterMessageBox(const char* text, const char* caption, RasterBoxIcon icon)
{
    if (RasterBoxesQuiet())
        return;
    if (RasterMessageHandler handler = g_handler.load())
        handler(text ? text : "", caption ? caption : "", icon);
}
