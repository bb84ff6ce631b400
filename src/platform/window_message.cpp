#include "window_message.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

namespace platform {

WindowMessageEvent::WindowMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam)
    : QEvent(EventType()), m_message(message), m_wParam(wParam), m_lParam(lParam)
{
}

QEvent::Type WindowMessageEvent::EventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void PostWindowMessage(QObject* receiver, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (receiver)
        QCoreApplication::postEvent(receiver, new WindowMessageEvent(message, wParam, lParam));
}

bool SendWindowMessage(QObject* receiver, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (!receiver)
        return false;
    WindowMessageEvent event(message, wParam, lParam);
    QCoreApplication::sendEvent(receiver, &event);
    return event.isAccepted();
}

void SendMessageToDescendants(QWidget* root, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (!root)
        return;
    // A handler may create or delete widgets; walk a snapshot and skip the dead.
    const QList<QWidget*> children = root->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        QPointer<QWidget> alive(child);
        SendWindowMessage(child, message, wParam, lParam);
        if (alive)
            SendMessageToDescendants(child, message, wParam, lParam);
    }
}

} // namespace platform
