#include "instance_registry.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QWidget>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kConnectTimeoutMs = 500;
constexpr int kReplyTimeoutMs = 2000;

// Sends one request line and returns the reply line, or nothing when the window
// is not there or does not answer in time.
std::optional<QByteArray> Request(const std::string& socketPath, const QByteArray& line)
{
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(socketPath));
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return std::nullopt;
    socket.write(line + '\n');
    if (!socket.waitForBytesWritten(kReplyTimeoutMs))
        return std::nullopt;
    QByteArray reply;
    while (!reply.contains('\n')) {
        if (!socket.waitForReadyRead(kReplyTimeoutMs))
            break;
        reply += socket.readAll();
    }
    socket.disconnectFromServer();
    if (!reply.contains('\n'))
        return std::nullopt;
    return reply.left(reply.indexOf('\n'));
}

} // namespace

std::string SuiteRuntimeDir()
{
    QString dir = qEnvironmentVariable("TESSARY_RUNTIME_DIR");
    if (dir.isEmpty()) {
        QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (base.isEmpty() || !QDir(base).exists())
            base = QDir::tempPath() + QStringLiteral("/tessary-%1").arg(getuid());
        dir = base + QStringLiteral("/tessary-suite");
    }
    QDir().mkpath(dir);
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return dir.toStdString();
}

std::string SuiteSocketPath(const std::string& title)
{
    // Socket paths are short (108 bytes); a digest of the title keeps any title,
    // in any script and of any length, within that.
    const QByteArray digest =
        QCryptographicHash::hash(QByteArray::fromStdString(title), QCryptographicHash::Sha1).toHex().left(32);
    return SuiteRuntimeDir() + "/w-" + digest.toStdString();
}

std::optional<SuiteWindow> FindSuiteWindow(const std::string& title)
{
    SuiteWindow window{SuiteSocketPath(title)};
    // The digest names the title, but only the window itself knows it exactly.
    const std::optional<QByteArray> reply = Request(window.socketPath, "TITLE");
    if (!reply || reply->toStdString() != title)
        return std::nullopt;
    return window;
}

bool ShowSuiteWindow(const SuiteWindow& window, ShowCommand command)
{
    const std::optional<QByteArray> reply =
        Request(window.socketPath, command == ShowCommand::Normal ? "SHOWNORMAL" : "MINIMIZE");
    return reply && *reply == "OK";
}

std::string GetSuiteWindowTitle(const SuiteWindow& window)
{
    const std::optional<QByteArray> reply = Request(window.socketPath, "TITLE");
    return reply ? reply->toStdString() : std::string();
}

SuiteWindowEndpoint::SuiteWindowEndpoint(QObject* parent) : QObject(parent) {}

SuiteWindowEndpoint::~SuiteWindowEndpoint()
{
    Unregister();
}

SuiteWindowEndpoint::Handlers SuiteWindowEndpoint::ForWidget(QWidget* window)
{
    QPointer<QWidget> target(window);
    Handlers handlers;
    handlers.show = [target](ShowCommand command) {
        if (!target)
            return;
        if (command == ShowCommand::Minimise) {
            target->showMinimized();
        } else {
            target->showNormal();
            target->raise();
            target->activateWindow();
        }
    };
    handlers.title = [target]() { return target ? target->windowTitle().toStdString() : std::string(); };
    return handlers;
}

bool SuiteWindowEndpoint::Register(const std::string& title, Handlers handlers)
{
    Unregister();
    const std::string path = SuiteSocketPath(title);
    if (Request(path, "TITLE"))
        return false; // a live window holds this title
    QLocalServer::removeServer(QString::fromStdString(path));
    m_handlers = std::move(handlers);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(QString::fromStdString(path))) {
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SuiteWindowEndpoint::OnNewConnection);
    return true;
}

void SuiteWindowEndpoint::Unregister()
{
    if (!m_server)
        return;
    m_server->close();
    delete m_server;
    m_server = nullptr;
}

bool SuiteWindowEndpoint::IsRegistered() const
{
    return m_server && m_server->isListening();
}

void SuiteWindowEndpoint::OnNewConnection()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket]() {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine().trimmed();
                QByteArray reply = "OK";
                if (line == "TITLE") {
                    reply = QByteArray::fromStdString(m_handlers.title ? m_handlers.title() : std::string());
                    reply.replace('\n', ' ');
                } else if (line == "SHOWNORMAL" || line == "MINIMIZE") {
                    // Carried out before the answer, so the asking side sees the window
                    // in its new state once the request returns.
                    if (m_handlers.show)
                        m_handlers.show(line == "SHOWNORMAL" ? ShowCommand::Normal : ShowCommand::Minimise);
                } else {
                    reply = "ERROR";
                }
                socket->write(reply + '\n');
                socket->flush();
            }
        });
    }
}

} // namespace platform
