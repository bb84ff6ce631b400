#include "message_box.h"

#include "raster.h"

#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <mutex>

namespace platform {

namespace {

std::mutex g_handlerMutex;
MessageBoxHandler g_handler; // empty: the Qt boxes

// The answer a box gets when nobody can be asked: the button that changes nothing.
BoxResult CautiousAnswer(BoxButtons buttons)
{
    switch (buttons) {
    case BoxButtons::Ok: return BoxResult::Ok;
    case BoxButtons::OkCancel: return BoxResult::Cancel;
    case BoxButtons::YesNo: return BoxResult::No;
    case BoxButtons::YesNoCancel: return BoxResult::Cancel;
    }
    return BoxResult::Cancel;
}

QMessageBox::Icon ToQtIcon(BoxIcon icon)
{
    switch (icon) {
    case BoxIcon::None: return QMessageBox::NoIcon;
    case BoxIcon::Error: return QMessageBox::Critical;
    case BoxIcon::Warning: return QMessageBox::Warning;
    case BoxIcon::Information: return QMessageBox::Information;
    case BoxIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

BoxResult ShowQtBox(const MessageBoxRequest& request)
{
    QMessageBox box(ToQtIcon(request.icon), QString::fromStdString(request.caption),
                    QString::fromStdString(request.text), QMessageBox::NoButton, request.owner);
    switch (request.buttons) {
    case BoxButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    case BoxButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    case BoxButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        break;
    case BoxButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return BoxResult::Ok;
    case QMessageBox::Yes: return BoxResult::Yes;
    case QMessageBox::No: return BoxResult::No;
    case QMessageBox::Cancel: return BoxResult::Cancel;
    default: return CautiousAnswer(request.buttons);
    }
}

BoxResult ShowDefault(const MessageBoxRequest& request)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) {
        // No window system (batch use): the text still reaches the user.
        std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
        return CautiousAnswer(request.buttons);
    }
    if (QThread::currentThread() == app->thread())
        return ShowQtBox(request);

    // Widgets live on the UI thread only: a box asked for by a worker is shown
    // there while the worker waits for the answer.
    MessageBoxRequest unowned = request;
    unowned.owner = nullptr;
    BoxResult result = CautiousAnswer(request.buttons);
    QMetaObject::invokeMethod(
        app, [&] { result = ShowQtBox(unowned); }, Qt::BlockingQueuedConnection);
    return result;
}

BoxIcon FromRasterIcon(RasterBoxIcon icon)
{
    switch (icon) {
    case RasterBoxError: return BoxIcon::Error;
    case RasterBoxInformation: return BoxIcon::Information;
    default: return BoxIcon::None;
    }
}

std::atomic<RasterBoxOwner> g_rasterBoxOwner{nullptr};

void RasterBoxToPlatform(const char* text, const char* caption, RasterBoxIcon icon)
{
    const RasterBoxOwner owner = g_rasterBoxOwner.load();
    ShowMessageBox(owner ? owner() : nullptr, text ? text : "", caption ? caption : "", FromRasterIcon(icon),
                   BoxButtons::Ok);
}

} // namespace

BoxResult ShowMessageBox(const MessageBoxRequest& request)
{
    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(g_handlerMutex);
        handler = g_handler;
    }
    if (handler)
        return handler(request);
    return ShowDefault(request);
}

BoxResult ShowMessageBox(QWidget* owner, const std::string& text, const std::string& caption, BoxIcon icon,
                         BoxButtons buttons)
{
    MessageBoxRequest request;
    request.text = text;
    request.caption = caption;
    request.icon = icon;
    request.buttons = buttons;
    request.owner = owner;
    return ShowMessageBox(request);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler)
{
    std::lock_guard<std::mutex> lock(g_handlerMutex);
    MessageBoxHandler previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}

namespace {
// Boxes may come from the thumbnail worker as well as from the UI thread.
std::mutex g_recorderMutex;
} // namespace

MessageBoxRecorder::MessageBoxRecorder(BoxResult defaultAnswer)
    : m_default(defaultAnswer)
{
    m_previous = SetMessageBoxHandler([this](const MessageBoxRequest& request) {
        std::lock_guard<std::mutex> lock(g_recorderMutex);
        m_boxes.push_back(request);
        if (m_answers.empty())
            return m_default;
        BoxResult answer = m_answers.front();
        m_answers.erase(m_answers.begin());
        return answer;
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    SetMessageBoxHandler(std::move(m_previous));
}

void MessageBoxRecorder::QueueAnswer(BoxResult answer)
{
    std::lock_guard<std::mutex> lock(g_recorderMutex);
    m_answers.push_back(answer);
}

void InstallRasterMessageHandler(RasterBoxOwner owner)
{
    g_rasterBoxOwner = owner;
    SetRasterMessageHandler(&RasterBoxToPlatform);
}

} // namespace platform
