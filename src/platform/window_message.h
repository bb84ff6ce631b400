// Window messages carried as Qt events. A message keeps its numeric value and
// its two parameters; posting queues it on the receiver's thread, sending
// delivers it at once.
#pragma once

#include <QEvent>
#include <cstdint>

class QObject;
class QWidget;

namespace platform {

constexpr uint32_t kWmUser = 0x0400;

class WindowMessageEvent : public QEvent {
public:
    WindowMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam);

    static QEvent::Type EventType();

    uint32_t Message() const { return m_message; }
    uintptr_t WParam() const { return m_wParam; }
    intptr_t LParam() const { return m_lParam; }

private:
    uint32_t m_message;
    uintptr_t m_wParam;
    intptr_t m_lParam;
};

// Queues the message; it is handled when the receiver's event loop gets to it.
void PostWindowMessage(QObject* receiver, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);

// Delivers the message synchronously. Returns true when the receiver accepted it.
bool SendWindowMessage(QObject* receiver, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);

// Sends the message to every descendant widget of `root` (not to `root` itself),
// parents before their children.
void SendMessageToDescendants(QWidget* root, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);

} // namespace platform
