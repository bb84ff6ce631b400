#include "movie_ctrl.h"

#include "wizard_globals.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHideEvent>
#include <QMouseEvent>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QSet>
#include <QShowEvent>
#include <QUrl>
#include <QWindow>

namespace {

CMovieCtrl::BackendFactory& Factory()
{
    static CMovieCtrl::BackendFactory factory;
    return factory;
}

QVariant Text(const std::string& text)
{
    return QVariant(QString::fromStdString(text));
}

// The English movie beside a language folder that has none ("…/bin/xx/Plendix.qml"
// or, for an empty language code, "…/bin//Plendix.qml", gives "…/bin/EN/Plendix.qml").
std::string EnglishMovieFor(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    const std::string file = path.substr(slash + 1);
    std::string folder = path.substr(0, slash);
    if (!folder.empty() && folder.back() == '/') {
        while (!folder.empty() && folder.back() == '/')
            folder.pop_back(); // the language code was empty
    } else {
        const std::size_t up = folder.rfind('/');
        folder = up == std::string::npos ? std::string() : folder.substr(0, up);
    }
    return folder + "/EN/" + file;
}

// Shown when no movie can be played at all (a broken installation): the reason
// and a way out, so that the window can always be closed. It answers the
// player's calls like a movie that has nothing to show.
const char kMissingMovie[] = R"QML(
import QtQuick
Rectangle {
    id: root
    property int frm: 0
    property string reason: ""
    signal fsCommand(string command, string args)
    width: 580; height: 411
    color: "#f4f6fa"
    focus: true
    Keys.onEscapePressed: root.fsCommand("exit", "")
    function getVariable(name) { return "" }
    function setVariable(name, value) {}
    function gotoFrame(n) {}
    function frameNum() { return 0 }
    function tGotoFrame(target, n) {}
    function tCurrentFrame(target) { return -1 }
    function tPlay(target) {}
    function tSetProperty(target, property, value) {}
    function tCallFrame(target, n) {}
    function flashVersion() { return 0x60000 }
    Text {
        anchors { left: parent.left; right: parent.right; top: parent.top; margins: 40; topMargin: 80 }
        wrapMode: Text.Wrap
        font.pixelSize: 15
        text: "The pages of the wizard cannot be shown:
" + root.reason
    }
    Rectangle {
        objectName: "exit"
        width: 120; height: 34; radius: 6
        color: area.pressed ? "#c0501a" : "#e0662a"
        anchors { horizontalCenter: parent.horizontalCenter; bottom: parent.bottom; bottomMargin: 60 }
        Text { anchors.centerIn: parent; color: "white"; font.pixelSize: 15; text: "Close" }
        MouseArea { id: area; anchors.fill: parent; onClicked: root.fsCommand("exit", "") }
    }
}
)QML";

// An animation that runs by itself: not one inside a group (SequentialAnimation,
// ParallelAnimation), a Behavior or a Transition, which their owner drives and
// which cannot be paused alone.
bool IsTopLevelAnimation(const QObject* object)
{
    if (!object->inherits("QQuickAbstractAnimation"))
        return false;
    const QObject* owner = object->parent();
    return !owner || !(owner->inherits("QQuickAnimationGroup") || owner->inherits("QQuickBehavior") ||
                       owner->inherits("QQuickTransition"));
}

// The top-level animations of the movie: through the objects' children and the
// items' children (an item a Loader or a Repeater made may belong elsewhere).
void CollectAnimations(QObject* object, QSet<QObject*>& seen, std::vector<QObject*>& found)
{
    if (!object || seen.contains(object))
        return;
    seen.insert(object);
    if (IsTopLevelAnimation(object))
        found.push_back(object);
    for (QObject* child : object->children())
        CollectAnimations(child, seen, found);
    if (auto* item = qobject_cast<QQuickItem*>(object)) {
        for (QQuickItem* child : item->childItems())
            CollectAnimations(child, seen, found);
    }
}

// Marks an animation this control paused, so that only those go on again.
const char kPausedWhileHidden[] = "_tessaryPausedWhileHidden";

// Pauses an animation that runs, marked as paused here.
void HoldIfRunning(QObject* animation)
{
    if (animation->property("running").toBool() && !animation->property("paused").toBool()) {
        animation->setProperty(kPausedWhileHidden, true);
        animation->setProperty("paused", true);
    }
}

} // namespace

CMovieCtrl::CMovieCtrl(QWidget* parent) : QQuickWidget(SharedEngine(), parent)
{
    setResizeMode(QQuickWidget::SizeRootObjectToView);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    if (Factory())
        m_backend = Factory()(this);
}

CMovieCtrl::~CMovieCtrl() = default;

void CMovieCtrl::SetBackendFactory(BackendFactory factory)
{
    Factory() = std::move(factory);
}

QQmlEngine* CMovieCtrl::SharedEngine()
{
    // One engine for all pages: the movies share their QML types, so they load once.
    static QQmlEngine* engine = new QQmlEngine(QCoreApplication::instance());
    return engine;
}

void CMovieCtrl::ResolveMovieUrl(const std::string& url, std::string* qmlPath, int* startFrame)
{
    std::string path = url;
    int frame = 0;
    const std::size_t query = path.find('?');
    if (query != std::string::npos) {
        const std::string args = path.substr(query + 1);
        path.resize(query);
        const std::size_t at = args.find("frm=");
        if (at != std::string::npos)
            frame = std::atoi(args.c_str() + at + 4);
    }
    QString local = QUrl(QString::fromStdString(path)).toLocalFile();
    if (local.isEmpty())
        local = QString::fromStdString(path);
    // The movie "Plendix.swf" is played from "Plendix.qml" of the same folder.
    if (local.endsWith(QStringLiteral(".swf"), Qt::CaseInsensitive))
        local = local.left(local.size() - 4) + QStringLiteral(".qml");
    if (qmlPath)
        *qmlPath = local.toStdString();
    if (startFrame)
        *startFrame = frame;
}

void CMovieCtrl::Movie(const std::string& url)
{
    m_url = url;
    if (m_backend) {
        m_backend->SetMovie(url);
        return;
    }
    std::string path;
    int frame = 0;
    ResolveMovieUrl(url, &path, &frame);

    // A language without a movie of its own plays the English one, as the
    // catalogue gives English texts for it.
    if (!QFileInfo::exists(QString::fromStdString(path))) {
        const std::string english = EnglishMovieFor(path);
        if (!english.empty() && QFileInfo::exists(QString::fromStdString(english)))
            path = english;
    }

    // The old movie goes with its animations; the new one's are held below
    // when it starts out of sight.
    const bool bHeld = m_bAnimationsPaused;
    ReleaseAnimations(false);
    m_played = path;
    QString reason;
    auto* component = new QQmlComponent(engine(), QUrl::fromLocalFile(QString::fromStdString(path)), this);
    QObject* root = component->isError() ? nullptr
                                         : component->createWithInitialProperties({{QStringLiteral("frm"), frame}});
    if (!root) {
        reason = component->errorString().trimmed();
        qWarning("movie %s: %s", path.c_str(), qPrintable(reason));
        delete component;
        m_played.clear();
        component = new QQmlComponent(engine(), this);
        component->setData(kMissingMovie, QUrl());
        root = component->createWithInitialProperties({{QStringLiteral("reason"), reason}});
        if (!root) {
            delete component;
            return;
        }
    }
    setContent(component->url(), component, root);
    connect(root, SIGNAL(fsCommand(QString, QString)), this, SLOT(OnMovieFSCommand(QString, QString)));
    if (bHeld || !isVisible())
        PauseAnimations();
}

void CMovieCtrl::PauseAnimations()
{
    // Called only while nothing is held (after a release, or on hiding a movie
    // that is not paused), so every animation found is new to the list.
    m_bAnimationsPaused = true;
    QSet<QObject*> seen;
    std::vector<QObject*> animations;
    CollectAnimations(rootObject(), seen, animations);
    for (QObject* animation : animations) {
        m_heldAnimations.emplace_back(animation);
        // One that starts while the movie is out of sight is paused at once.
        connect(animation, SIGNAL(runningChanged(bool)), this, SLOT(OnAnimationRunningChanged()));
        HoldIfRunning(animation);
    }
}

void CMovieCtrl::ReleaseAnimations(bool bGoOn)
{
    m_bAnimationsPaused = false;
    std::vector<QPointer<QObject>> held;
    held.swap(m_heldAnimations);
    for (const QPointer<QObject>& animation : held) {
        if (!animation)
            continue;
        disconnect(animation, SIGNAL(runningChanged(bool)), this, SLOT(OnAnimationRunningChanged()));
        if (!bGoOn || !animation->property(kPausedWhileHidden).toBool())
            continue;
        animation->setProperty(kPausedWhileHidden, QVariant());
        // One the movie stopped meanwhile stays stopped.
        if (animation->property("running").toBool() && animation->property("paused").toBool())
            animation->setProperty("paused", false);
    }
}

void CMovieCtrl::OnAnimationRunningChanged()
{
    if (QObject* animation = sender(); m_bAnimationsPaused && animation)
        HoldIfRunning(animation);
}

void CMovieCtrl::showEvent(QShowEvent* event)
{
    QQuickWidget::showEvent(event);
    if (m_bAnimationsPaused)
        ReleaseAnimations(true);
}

void CMovieCtrl::hideEvent(QHideEvent* event)
{
    QQuickWidget::hideEvent(event);
    if (!m_bAnimationsPaused)
        PauseAnimations();
}

QVariant CMovieCtrl::Call(const char* function, const QVariantList& args)
{
    QObject* root = rootObject();
    QVariant result;
    if (!root)
        return result;
    bool ok = false;
    switch (args.size()) {
    case 0:
        ok = QMetaObject::invokeMethod(root, function, Qt::DirectConnection, Q_RETURN_ARG(QVariant, result));
        break;
    case 1:
        ok = QMetaObject::invokeMethod(root, function, Qt::DirectConnection, Q_RETURN_ARG(QVariant, result),
                                       Q_ARG(QVariant, args[0]));
        break;
    case 2:
        ok = QMetaObject::invokeMethod(root, function, Qt::DirectConnection, Q_RETURN_ARG(QVariant, result),
                                       Q_ARG(QVariant, args[0]), Q_ARG(QVariant, args[1]));
        break;
    default:
        ok = QMetaObject::invokeMethod(root, function, Qt::DirectConnection, Q_RETURN_ARG(QVariant, result),
                                       Q_ARG(QVariant, args[0]), Q_ARG(QVariant, args[1]),
                                       Q_ARG(QVariant, args[2]));
        break;
    }
    if (!ok)
        qWarning("movie has no function %s", function);
    return result;
}

int CMovieCtrl::FrameNum()
{
    return m_backend ? m_backend->FrameNum() : Call("frameNum", {}).toInt();
}

void CMovieCtrl::GotoFrame(int frame)
{
    if (m_backend)
        return m_backend->GotoFrame(frame);
    Call("gotoFrame", {frame});
}

int CMovieCtrl::FlashVersion()
{
    if (m_backend)
        return m_backend->FlashVersion();
    const QVariant version = Call("flashVersion", {});
    return version.isValid() ? version.toInt() : kPlayerVersion;
}

void CMovieCtrl::TGotoFrame(const std::string& target, int frame)
{
    if (m_backend)
        return m_backend->TGotoFrame(target, frame);
    Call("tGotoFrame", {Text(target), frame});
}

int CMovieCtrl::TCurrentFrame(const std::string& target)
{
    return m_backend ? m_backend->TCurrentFrame(target) : Call("tCurrentFrame", {Text(target)}).toInt();
}

void CMovieCtrl::TPlay(const std::string& target)
{
    if (m_backend)
        return m_backend->TPlay(target);
    Call("tPlay", {Text(target)});
}

void CMovieCtrl::SetVariable(const std::string& name, const std::string& value)
{
    if (m_backend)
        return m_backend->SetVariable(name, value);
    Call("setVariable", {Text(name), Text(value)});
}

std::string CMovieCtrl::GetVariable(const std::string& name)
{
    if (m_backend)
        return m_backend->GetVariable(name);
    const QVariant value = Call("getVariable", {Text(name)});
    if (!value.isValid() || value.isNull())
        return std::string();
    return value.toString().toStdString();
}

void CMovieCtrl::TSetProperty(const std::string& target, int property, const std::string& value)
{
    if (m_backend)
        return m_backend->TSetProperty(target, property, value);
    Call("tSetProperty", {Text(target), property, Text(value)});
}

void CMovieCtrl::TCallFrame(const std::string& target, int frame)
{
    if (m_backend)
        return m_backend->TCallFrame(target, frame);
    Call("tCallFrame", {Text(target), frame});
}

void CMovieCtrl::FireFSCommand(const std::string& command, const std::string& args)
{
    emit FSCommand(QString::fromStdString(command), QString::fromStdString(args));
}

void CMovieCtrl::OnMovieFSCommand(const QString& command, const QString& args)
{
    emit FSCommand(command, args);
}

CMovieCtrl::ClickArea CMovieCtrl::ClickAreaAt(int x, int y)
{
    if (y >= 25 || x >= 520)
        return ClickArea::Movie;
    return x <= 25 ? ClickArea::FrameMenu : ClickArea::Drag;
}

void CMovieCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        const ClickArea area = ClickAreaAt(at.x(), at.y());
        if (area != ClickArea::Movie)
            releaseMouse();
        if (area == ClickArea::FrameMenu) {
            platform::SendWindowMessage(window(), WM_SYSCOMMAND, SC_MOUSEMENU);
        } else if (area == ClickArea::Drag) {
            QWindow* handle = window()->windowHandle();
            // The window manager moves the frame when it can; otherwise the frame
            // follows the mouse until the button is released.
            if (!handle || !handle->startSystemMove()) {
                m_bDragging = true;
                m_dragOffset = event->globalPosition().toPoint() - window()->pos();
            }
        }
    }
    QQuickWidget::mousePressEvent(event);
}

void CMovieCtrl::mouseMoveEvent(QMouseEvent* event)
{
    if (m_bDragging && (event->buttons() & Qt::LeftButton))
        window()->move(event->globalPosition().toPoint() - m_dragOffset);
    QQuickWidget::mouseMoveEvent(event);
}

void CMovieCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        m_bDragging = false;
    QQuickWidget::mouseReleaseEvent(event);
}
