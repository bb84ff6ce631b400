// The phone link's events inside the wizard: each event becomes the status text
// the transfer page shows and a window message to every window of the frame.
#pragma once

#include "link_protocol.h"

#include <string>

class QWidget;

// The last link event as the movie's HTML (bold, not centred, escaped).
extern std::string g_linkStatusText;

// Stores the event's text in g_linkStatusText, then sends WM_LINK_EVENT
// synchronously to every descendant of `mainWindow` with wParam = p3 (the
// percentage) and lParam = p2.
void DeliverLinkEvent(QWidget* mainWindow, const LinkEvent& event);
