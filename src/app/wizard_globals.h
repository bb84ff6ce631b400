// State shared by the wizard's pages and its frame. Everything here is read and
// written on the UI thread only; a page sets the route flags before it asks the
// frame to move, so the frame reads the new values when it handles the request.
#pragma once

#include "window_message.h"

// The animation document and the globals around it (the selected frame, the
// source, insertion and temporary file paths, the animation's name) belong to
// the animation model.
#include "anim_doc.h"

#include <cstdint>
#include <string>

class CDlgFrame;

// Requests a page posts to the frame (wParam and lParam 0).
inline constexpr uint32_t WM_WIZ_NEXT = platform::kWmUser + 1;
inline constexpr uint32_t WM_WIZ_PREVIOUS = platform::kWmUser + 2;
inline constexpr uint32_t WM_WIZ_EXIT = platform::kWmUser + 3;
inline constexpr uint32_t WM_WIZ_INSERT = platform::kWmUser + 4;
inline constexpr uint32_t WM_WIZ_MODIFY = platform::kWmUser + 5;
inline constexpr uint32_t WM_WIZ_REDUCE = platform::kWmUser + 6;
// Sent to every window of the frame for each event of the phone link.
inline constexpr uint32_t WM_LINK_EVENT = platform::kWmUser;
// Sent by the frame to all its descendants when it is activated (wParam 1).
inline constexpr uint32_t WM_WIZ_ACTIVATED = platform::kWmUser + 16;
// System commands, as the frame menu and the movie's corner click use them.
inline constexpr uint32_t WM_SYSCOMMAND = 0x0112;
inline constexpr uint32_t SC_MINIMIZE = 0xF020;
inline constexpr uint32_t SC_CLOSE = 0xF060;
inline constexpr uint32_t SC_MOUSEMENU = 0xF090;
inline constexpr uint32_t IDM_ABOUTBOX = 16;

// Side of the square phone picture in pixels: 128 full screen, 64 half screen.
extern int32_t g_imageSize;
// 1 when the user creates a new animation, 0 when starting from existing pictures.
extern int32_t g_createNew;
// What the content page does with the chosen file: 0 it becomes the animation,
// 1 it is inserted, 2 the current frame is modified.
extern int32_t g_pageRoute;
// The frame window, set by the first page constructed.
extern CDlgFrame* g_pFrame;
