#include "wizard_globals.h"

int32_t g_imageSize = 128;
int32_t g_createNew = 0;
int32_t g_pageRoute = 0;
int32_t g_nCurrentFrame = 0;

std::string g_strSourcePath;
std::string g_strInsertPath;
std::string g_strAnimName;
std::string g_tempGifPath;

CDlgFrame* g_pFrame = nullptr;
