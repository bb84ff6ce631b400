#include "wizard_driver_support.h"

#include "page_factory.h"
#include "settings_defaults.h"

#include "dlg_frame.h"
#include "messages.h"
#include "route_tables.h"
#include "movie_ctrl.h"
#include "wiz_page.h"

#include "anim_doc.h"
#include "settings.h"
#include "wizard_globals.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QQuickItem>
#include <QTemporaryDir>
#include <QTest>

namespace e2e {

namespace {

QTemporaryDir& Folder()
{
    static QTemporaryDir folder;
    return folder;
}

void WriteSettings(const std::string& language)
{
    const QString path = Folder().filePath(QStringLiteral("registry.reg"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    const QString installation = Folder().path() + QStringLiteral("/install/");
    QDir().mkpath(installation + QStringLiteral("temp"));
    // The installer's defaults, with no phone link so that nothing leaves the machine.
    std::string store = DefaultSettingsStoreText(installation.toStdString(), Folder().path().toStdString(), language);
    const std::string link = "\"Current Link\"=\"USB\"";
    store.replace(store.find(link), link.size(), "\"Current Link\"=\"None\"");
    file.write(store.data(), static_cast<qint64>(store.size()));
    qputenv("TESSARY_REGISTRY", path.toUtf8());
}

void Collect(QQuickItem* item, QStringList& names)
{
    if (!item || !item->isVisible())
        return;
    if (!item->objectName().isEmpty())
        names << item->objectName();
    for (QQuickItem* child : item->childItems())
        Collect(child, names);
}

QQuickItem* FindVisible(QQuickItem* item, const QString& name)
{
    if (!item || !item->isVisible() || item->opacity() <= 0.0)
        return nullptr;
    if (item->objectName() == name)
        return item;
    for (QQuickItem* child : item->childItems())
        if (QQuickItem* found = FindVisible(child, name))
            return found;
    return nullptr;
}

} // namespace

void EnsureApp()
{
    if (!QApplication::instance()) {
        qputenv("TESSARY_RUNTIME_DIR", Folder().filePath(QStringLiteral("runtime")).toUtf8());
        static int argc = 1;
        static char name[] = "wizard-e2e";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
}

void Wait(int ms)
{
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QCoreApplication::sendPostedEvents();
    } while (timer.elapsed() < ms);
}

WizardDriver::WizardDriver(const std::string& language)
{
    EnsureApp();
    WriteSettings(language);
    g_messages = BuildMessages(language);
    m_frame = std::make_unique<CDlgFrame>(&CreateWizardPage);
    m_frame->OnInitDialog();
    m_frame->show();
    Wait(CDlgFrame::kPageTimerMs + 400);
    // Pages 1 to 5 come from the frame's timer; a busy machine may deliver it late.
    QElapsedTimer timer;
    timer.start();
    while (m_frame->Page(kPageCount - 1) == nullptr && timer.elapsed() < 10000)
        Wait(50);
}

WizardDriver::~WizardDriver() = default;

int WizardDriver::CurrentPage() const
{
    return m_frame->m_current;
}

CWizPage* WizardDriver::Page(int index) const
{
    return m_frame->Page(index);
}

QQuickItem* WizardDriver::Item(const QString& objectName) const
{
    CWizPage* page = m_frame->CurrentPage();
    if (!page || !page->m_movie->rootObject())
        return nullptr;
    return FindVisible(page->m_movie->rootObject(), objectName);
}

bool WizardDriver::Click(const QString& objectName)
{
    QQuickItem* item = Item(objectName);
    if (!item)
        return false;
    CMovieCtrl* movie = m_frame->CurrentPage()->m_movie;
    const QPoint at = item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
    QTest::mouseClick(movie, Qt::LeftButton, Qt::NoModifier, at);
    Wait(350);
    return true;
}

void WizardDriver::Key(int key)
{
    QTest::keyClick(m_frame->CurrentPage()->m_movie, static_cast<Qt::Key>(key));
    Wait(350);
}

QStringList WizardDriver::VisibleNames() const
{
    QStringList names;
    CWizPage* page = m_frame->CurrentPage();
    if (page)
        Collect(page->m_movie->rootObject(), names);
    return names;
}

std::string FixturePath(const std::string& name)
{
    return std::string(TESSARY_SOURCE_DIR) + "/tests/e2e/fixtures/" + name;
}

bool LoadAnimation(const std::string& path)
{
    const std::string prefix = g_imageSize == 64 ? "HalfScreen" : "FullScreen";
    g_animDoc.SetDelayLimits(ReadWizardDword(prefix + "AnimMinDelay"), ReadWizardDword(prefix + "AnimMaxDelay"),
                             ReadWizardDword(prefix + "AnimDefaultDelay"));
    if (!g_animDoc.Load(path, kAllowAll) || !g_animDoc.BuildFrames())
        return false;
    g_strSourcePath = path;
    g_createNew = 0;
    const std::size_t slash = path.rfind('/');
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    g_strAnimName = file.substr(0, file.rfind('.'));
    return true;
}

} // namespace e2e
