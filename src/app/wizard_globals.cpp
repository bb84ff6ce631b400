#include "wizard_globals.h"

int32_t g_imageSize = 128;
int32_t g_createNew = 0;
int32_t g_pageRoute = 0;

CDlgFrame* g_pFrame = nullptr;
