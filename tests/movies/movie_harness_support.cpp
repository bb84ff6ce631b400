#include "movie_harness_support.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlError>
#include <QQuickItem>
#include <QSurfaceFormat>
#include <QTemporaryDir>
#include <QThread>

#include <mutex>

namespace movies_test {

namespace {

QStringList* g_capturedWarnings = nullptr;
QtMessageHandler g_previousHandler = nullptr;

// QML reports binding and script errors through the message log; collect them
// for the harness that is loading a movie.
void captureHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (g_capturedWarnings && type != QtDebugMsg && type != QtInfoMsg)
        g_capturedWarnings->append(message);
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

QQuickItem* findItem(QQuickItem* item, const QString& name)
{
    if (!item)
        return nullptr;
    if (item->objectName() == name && item->isVisible())
        return item;
    const auto children = item->childItems();
    for (QQuickItem* child : children) {
        if (QQuickItem* found = findItem(child, name))
            return found;
    }
    return nullptr;
}

}  // namespace

const QStringList& languages()
{
    static const QStringList codes = {"EN", "FR", "DE", "SP", "IT", "PT", "NL", "PL", "CZ", "RU", "CHS", "CHT"};
    return codes;
}

QString moviePath(const QString& code)
{
    return QStringLiteral(TESSARY_SOURCE_DIR "/movies/") + code + QStringLiteral("/Plendix.qml");
}

void ensureApp()
{
    static int argc = 1;
    static char name[] = "movies_test";
    static char* argv[] = {name, nullptr};
    static std::once_flag once;
    std::call_once(once, [] {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
            static QTemporaryDir runtime;
            qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        }
        qputenv("QT_QUICK_BACKEND", "software");
        new QGuiApplication(argc, argv);
        g_previousHandler = qInstallMessageHandler(captureHandler);
    });
}

MovieHarness::MovieHarness(const QString& code, int frame)
{
    ensureApp();
    m_view = std::make_unique<QQuickView>();
    QSurfaceFormat format = m_view->format();
    format.setAlphaBufferSize(8);
    m_view->setFormat(format);
    m_view->setColor(Qt::transparent);
    m_view->setResizeMode(QQuickView::SizeViewToRootObject);
    QObject::connect(m_view->engine(), &QQmlEngine::warnings, this, [this](const QList<QQmlError>& errors) {
        for (const QQmlError& e : errors)
            warnings.append(e.toString());
    });
    if (frame >= 0)
        m_view->setInitialProperties({{QStringLiteral("frm"), frame}});

    g_capturedWarnings = &warnings;
    m_view->setSource(QUrl::fromLocalFile(moviePath(code)));
    for (const QQmlError& e : m_view->errors())
        warnings.append(e.toString());
    m_root = m_view->rootObject();
    if (!m_root)
        return;
    connect(m_root, SIGNAL(fsCommand(QString, QString)), this, SLOT(onCommand(QString, QString)));
    m_view->show();
    wait(30);
}

MovieHarness::~MovieHarness()
{
    if (g_capturedWarnings == &warnings)
        g_capturedWarnings = nullptr;
}

void MovieHarness::onCommand(const QString& command, const QString& args)
{
    commands.emplace_back(command, args);
}

QVariant MovieHarness::call(const char* function, const QVariantList& args)
{
    QVariant result;
    QGenericArgument a[3];
    for (int i = 0; i < args.size() && i < 3; ++i)
        a[i] = Q_ARG(QVariant, args[i]);
    const bool ok = QMetaObject::invokeMethod(m_root, function, Qt::DirectConnection, Q_RETURN_ARG(QVariant, result),
                                              a[0], a[1], a[2]);
    if (!ok)
        warnings.append(QStringLiteral("cannot call ") + QLatin1String(function));
    return result;
}

QString MovieHarness::getVariable(const QString& name)
{
    return call("getVariable", {name}).toString();
}

void MovieHarness::setVariable(const QString& name, const QString& value)
{
    call("setVariable", {name, value});
}

int MovieHarness::frameNum()
{
    return call("frameNum").toInt();
}

QQuickItem* MovieHarness::item(const QString& objectName) const
{
    return findItem(m_view->contentItem(), objectName);
}

bool MovieHarness::click(const QString& objectName)
{
    QQuickItem* target = item(objectName);
    if (!target)
        return false;
    return clickAt(target->mapToScene(QPointF(target->width() / 2, target->height() / 2)));
}

bool MovieHarness::clickAt(QPointF pos)
{
    sendMouse(QEvent::MouseMove, pos, Qt::NoButton, Qt::NoButton);
    sendMouse(QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
    sendMouse(QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
    QCoreApplication::processEvents();
    return true;
}

bool MovieHarness::hover(const QString& objectName)
{
    QQuickItem* target = item(objectName);
    if (!target)
        return false;
    hoverAt(target->mapToScene(QPointF(target->width() / 2, target->height() / 2)));
    return true;
}

void MovieHarness::hoverAt(QPointF pos)
{
    sendMouse(QEvent::MouseMove, pos, Qt::NoButton, Qt::NoButton);
    QCoreApplication::processEvents();
}

void MovieHarness::dragHorizontally(QPointF from, qreal toX)
{
    sendMouse(QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
    sendMouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    const int steps = 8;
    for (int i = 1; i <= steps; ++i) {
        QPointF p(from.x() + (toX - from.x()) * i / steps, from.y());
        sendMouse(QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
    }
    sendMouse(QEvent::MouseButtonRelease, QPointF(toX, from.y()), Qt::LeftButton, Qt::NoButton);
    QCoreApplication::processEvents();
}

void MovieHarness::sendMouse(int type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons buttons)
{
    QMouseEvent event(static_cast<QEvent::Type>(type), pos, m_view->mapToGlobal(pos.toPoint()), button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(m_view.get(), &event);
}

void MovieHarness::wait(int ms)
{
    QDeadlineTimer deadline(ms);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    } while (!deadline.hasExpired());
}

QImage MovieHarness::render()
{
    // The offscreen window has no alpha channel, so the movie is drawn twice over
    // two different clear colours: where the two grabs differ the movie left the
    // pixel clear, and the difference gives its coverage.
    auto grabOver = [this](QColor clear) {
        m_view->setColor(clear);
        m_view->update();
        wait(20);
        return m_view->grabWindow().convertToFormat(QImage::Format_RGB32);
    };
    const QImage overMagenta = grabOver(QColor(255, 0, 255));
    const QImage overGreen = grabOver(QColor(0, 255, 0));
    m_view->setColor(Qt::transparent);
    if (overMagenta.size() != overGreen.size() || overMagenta.isNull())
        return {};

    QImage result(overMagenta.size(), QImage::Format_ARGB32);
    for (int y = 0; y < result.height(); ++y) {
        const QRgb* a = reinterpret_cast<const QRgb*>(overMagenta.constScanLine(y));
        const QRgb* b = reinterpret_cast<const QRgb*>(overGreen.constScanLine(y));
        QRgb* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            // Green channel: 0 under magenta, 255 under green; its change is the
            // part of the clear colour that shows through.
            const int through = qBound(0, qGreen(b[x]) - qGreen(a[x]), 255);
            const int alpha = 255 - through;
            if (alpha == 0) {
                out[x] = qRgba(0, 0, 0, 0);
            } else {
                // Un-mix the clear colour (magenta) from the first grab.
                auto unmix = [&](int seen, int clear) {
                    return qBound(0, (seen * 255 - clear * through) / alpha, 255);
                };
                out[x] = qRgba(unmix(qRed(a[x]), 255), unmix(qGreen(a[x]), 0), unmix(qBlue(a[x]), 255), alpha);
            }
        }
    }
    return result;
}

}  // namespace movies_test
