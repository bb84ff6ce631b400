// The frame's route tables: which page comes next or before, from the page shown
// now and the two route flags. Kept apart from any window so they can be checked
// on their own; the frame applies the result.
#pragma once

#include <cstdint>

inline constexpr int kPageCount = 6;
inline constexpr int kNoPage = -1;

// Page indices in creation order.
enum WizardPage : int {
    kPageStart = 0,
    kPageContent = 1,
    kPageAnimEditor = 2,
    kPagePictureEditor = 3,
    kPageSave = 4,
    kPageTransfer = 5,
};

struct RouteFlags {
    int32_t createNew = 0; // g_createNew
    int32_t pageRoute = 0; // g_pageRoute
};

// Each returns the page to show (the current one to stay) and may change the flags.
int RouteNext(int current, RouteFlags& flags);
int RoutePrevious(int current, RouteFlags& flags);
int RouteInsert(RouteFlags& flags);
int RouteModify(RouteFlags& flags);
