#include "link_event_sink.h"

#include "movie_text.h"
#include "transfer_text.h"
#include "wizard_globals.h"

#include <QWidget>

std::string g_linkStatusText;

void DeliverLinkEvent(QWidget* mainWindow, const LinkEvent& event)
{
    g_linkStatusText = MovieHtml(EscapeRichText(event.text), true, false);
    if (!mainWindow)
        return;
    platform::SendMessageToDescendants(mainWindow, WM_LINK_EVENT,
                                       static_cast<uintptr_t>(static_cast<intptr_t>(event.p3)),
                                       static_cast<intptr_t>(event.p2));
}
