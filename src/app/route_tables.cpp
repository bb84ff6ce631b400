#include "route_tables.h"

int RouteNext(int current, RouteFlags& flags)
{
    switch (current) {
    case kPageStart:
        if (flags.createNew == 0)
            return kPageContent;
        if (flags.createNew == 1) {
            flags.pageRoute = 0;
            return kPageAnimEditor;
        }
        return current;
    case kPageContent:
        return (flags.pageRoute == 0 || flags.pageRoute == 1) ? kPagePictureEditor : current;
    case kPageAnimEditor:
        return kPageSave;
    case kPagePictureEditor:
        flags.pageRoute = 0;
        return kPageAnimEditor;
    case kPageSave:
        return kPageTransfer;
    case kPageTransfer:
        return kPageStart;
    default:
        return current;
    }
}

int RoutePrevious(int current, RouteFlags& flags)
{
    switch (current) {
    case kPageStart:
        return current;
    case kPageContent:
        if (flags.pageRoute == 1) {
            flags.pageRoute = 0;
            return kPageAnimEditor;
        }
        if (flags.pageRoute == 0)
            return flags.createNew != 0 ? kPageAnimEditor : kPageStart;
        return current;
    case kPageAnimEditor:
        return flags.createNew != 0 ? kPageStart : kPagePictureEditor;
    case kPagePictureEditor:
        if (flags.pageRoute == 0 || flags.pageRoute == 1)
            return kPageContent;
        if (flags.pageRoute == 2) {
            flags.pageRoute = 0;
            return kPageAnimEditor;
        }
        return current;
    case kPageSave:
        return kPageAnimEditor;
    case kPageTransfer:
        return kPageSave;
    default:
        return current;
    }
}

int RouteInsert(RouteFlags& flags)
{
    flags.pageRoute = flags.createNew == 0 ? 1 : 0;
    return kPageContent;
}

int RouteModify(RouteFlags& flags)
{
    flags.pageRoute = 2;
    return kPagePictureEditor;
}
