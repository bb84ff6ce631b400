#include "wizard_driver_support.h"

#include "page_factory.h"
#include "settings_defaults.h"
#include "wizard_globals.h"

#include "dlg_frame.h"
#include "messages.h"
#include "route_tables.h"
#include "movie_ctrl.h"
#include "wiz_page.h"

#include "anim_doc.h"
#include "dlg_wiz2.h"
#include "edit_result.h"
#include "folder_view.h"
#include "raster.h"
#include "raster_file.h"
#include "settings.h"
#include "wizard_globals.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPainter>
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
    WriteTemporaryAnimation("holiday");
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

// ---- Save and transfer -------------------------------------------------------

std::string WorkFolder()
{
    return Folder().path().toStdString();
}

std::string WriteTemporaryAnimation(const std::string& name)
{
    // The document keeps its last frame: the first new one replaces it.
    while (g_animDoc.GetFrameCount() > 1)
        g_animDoc.DeleteFrame(g_animDoc.GetFrameCount() - 1);
    g_animDoc.SetDelayLimits(5, 500, 50);
    for (int f = 0; f < 4; ++f) {
        auto* picture = new CRaster(32, 32, 8, FormatGif);
        for (int i = 0; i < 4; ++i)
            picture->SetPaletteIndex(uint8_t(i), uint8_t(70 * i), uint8_t(200 - 40 * i), uint8_t(60 * f));
        for (long y = 0; y < 32; ++y)
            for (long x = 0; x < 32; ++x)
                picture->SetPixelIndex(x, y, uint8_t((x / 8 + y / 8 + f) % 4));
        picture->SetFrameDelay(25);
        if (f == 0 && g_animDoc.GetFrameCount() == 1)
            g_animDoc.ReplaceFrame(0, picture);
        else
            g_animDoc.InsertFrame(g_animDoc.GetFrameCount(), picture);
    }
    g_strAnimName = name;
    g_tempGifPath = TemporaryGifPath(WorkFolder() + "/install/", name);
    QDir().mkpath(QString::fromStdString(WorkFolder() + "/install/temp"));
    if (!g_animDoc.SaveGif(g_tempGifPath))
        return {};
    QFile file(QString::fromStdString(g_tempGifPath));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

// --- The content page ---

namespace {

// An animated GIF of a ball crossing the picture, written by the program's own writer.
bool WriteBounceGif(const QString& path)
{
    constexpr int kFrames = 4;
    CRaster frames[kFrames];
    CRaster* pointers[kFrames];
    RGBQUAD palette[256] = {};
    palette[0] = MakeRgbQuad(250, 244, 220);
    palette[1] = MakeRgbQuad(220, 60, 40);
    palette[2] = MakeRgbQuad(60, 120, 200);
    for (int k = 0; k < kFrames; ++k) {
        CRaster& f = frames[k];
        f.Create(96, 72, 8, FormatGif);
        f.SetPalette(palette, 256);
        f.Clear(0);
        for (long y = 0; y < 72; ++y)
            for (long x = 0; x < 96; ++x) {
                const long cx = 16 + 20 * k, cy = 36, dx = x - cx, dy = y - cy;
                if (dx * dx + dy * dy < 144)
                    f.SetPixelIndex(x, y, 1);
                else if (y < 8)
                    f.SetPixelIndex(x, y, 2);
            }
        f.SetFrameDelay(20);
        pointers[k] = &f;
    }
    FILE* fp = std::fopen(path.toLocal8Bit().constData(), "wb");
    if (!fp)
        return false;
    CRasterIOFile out(fp);
    CRaster writer(FormatGif);
    const bool ok = writer.Encode(&out, pointers, kFrames, FormatGif);
    return std::fclose(fp) == 0 && ok;
}

} // namespace

QString ContentFixtureFolder()
{
    const QString folder = Folder().filePath(QStringLiteral("pictures"));
    if (QFile::exists(folder + QStringLiteral("/bounce.gif")))
        return folder;
    QDir().mkpath(folder);
    QImage sunset(320, 200, QImage::Format_RGB32);
    {
        QPainter p(&sunset);
        QLinearGradient sky(0, 0, 0, 200);
        sky.setColorAt(0, QColor(250, 160, 60));
        sky.setColorAt(1, QColor(90, 40, 120));
        p.fillRect(sunset.rect(), sky);
        p.setBrush(QColor(255, 230, 120));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPoint(160, 130), 40, 40);
        p.fillRect(0, 150, 320, 50, QColor(30, 30, 50));
    }
    sunset.save(folder + QStringLiteral("/sunset.jpg"), "JPG", 90);
    QImage forest(120, 160, QImage::Format_ARGB32);
    forest.fill(Qt::transparent);
    {
        QPainter p(&forest);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(40, 130, 60));
        p.setPen(Qt::NoPen);
        p.drawEllipse(10, 10, 100, 110);
        p.fillRect(52, 110, 16, 50, QColor(110, 70, 40));
    }
    forest.save(folder + QStringLiteral("/forest.png"), "PNG");
    QImage mono(100, 100, QImage::Format_RGB32);
    mono.fill(Qt::white);
    {
        QPainter p(&mono);
        for (int i = 0; i < 10; ++i)
            p.fillRect(i * 10, 0, 5, 100, QColor(20 * i, 20 * i, 20 * i));
    }
    mono.save(folder + QStringLiteral("/mono.bmp"), "BMP");
    WriteBounceGif(folder + QStringLiteral("/bounce.gif"));
    return folder;
}

bool PickContentFile(WizardDriver& wizard, const QString& name, const QString& folder)
{
    if (wizard.CurrentPage() != kPageContent)
        return false;
    auto* page = static_cast<CDlgWiz2*>(wizard.Page(kPageContent));
    if (page->m_strFolder != (folder + QLatin1Char('/')).toStdString())
        page->m_folders->SelectPath(folder.toStdString());
    QElapsedTimer timer;
    timer.start();
    while (page->m_nScanDone != page->m_nScan && timer.elapsed() < 30000)
        Wait(20);
    const QList<QListWidgetItem*> found = page->m_list->findItems(name, Qt::MatchExactly);
    if (found.size() != 1)
        return false;
    page->m_list->scrollToItem(found.front());
    const QPoint at = page->m_list->visualItemRect(found.front()).center();
    QTest::mouseClick(page->m_list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    Wait(200);
    return page->m_movie->TCurrentFrame("next") == 1;
}

std::string FixturePath(const std::string& name)
{
    return std::string(TESSARY_SOURCE_DIR) + "/tests/e2e/fixtures/" + name;
}

QString FixtureFolder()
{
    return QStringLiteral(TESSARY_SOURCE_DIR "/tests/e2e/fixtures");
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
    g_nCurrentFrame = 0;
    const std::size_t slash = path.rfind('/');
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    g_strAnimName = file.substr(0, file.rfind('.'));
    return true;
}

} // namespace e2e
