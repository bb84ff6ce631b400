// Screenshots of every page, in English and in Simplified Chinese, taken from
// the screen of a real X11 server so that the frame's shape shows. Run under
// Xvfb:  e2e-screenshots OUTPUT_FOLDER
// A plain backdrop lies under the frame; each picture is checked to show the
// backdrop outside the shape (rounded corners, curved lower sides) and the
// page inside it. Exits non-zero when a check fails.
#include "dlg_frame.h"
#include "dlg_wiz4.h"
#include "dlg_wiz6.h"
#include "link_client.h"
#include "movie_ctrl.h"
#include "registry_store.h"
#include "route_tables.h"
#include "settings.h"
#include "wiz_page.h"
#include "wizard_driver_support.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QQuickItem>
#include <QScreen>
#include <QTest>
#include <QWindow>
#include <QWidget>
#include <cstdio>

namespace {

const QColor kBackdrop(0x7a, 0x8b, 0xa0);
int g_failures = 0;

void Check(bool ok, const QString& what)
{
    if (!ok) {
        ++g_failures;
        std::fprintf(stderr, "FAILED: %s\n", qPrintable(what));
    }
}

QImage Grab(CDlgFrame& frame)
{
    const QRect area = frame.frameGeometry();
    return frame.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
}

void Shoot(e2e::WizardDriver& wizard, const QString& folder, const QString& name)
{
    e2e::Wait(900);
    const QImage shot = Grab(wizard.Frame());
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    Check(shot.save(path), QStringLiteral("saving ") + path);
    Check(shot.size() == QSize(580, 411), name + QStringLiteral(": size"));
    auto backdrop = [&](int x, int y) { return QColor(shot.pixel(x, y)) == kBackdrop; };
    // Outside the shape: the corners and the curved lower sides.
    for (const QPoint p : {QPoint(0, 0), QPoint(579, 0), QPoint(0, 230), QPoint(10, 400), QPoint(579, 230),
                           QPoint(560, 400)})
        Check(backdrop(p.x(), p.y()), name + QStringLiteral(": (%1, %2) should be outside the frame").arg(p.x()).arg(p.y()));
    // Inside: the page.
    for (const QPoint p : {QPoint(8, 8), QPoint(290, 200), QPoint(2, 229), QPoint(40, 400), QPoint(540, 400)})
        Check(!backdrop(p.x(), p.y()), name + QStringLiteral(": (%1, %2) should show the page").arg(p.x()).arg(p.y()));
    std::printf("%s\n", qPrintable(path));
}

// The picture editor at work on the picked animation: turned a quarter right,
// its selection made smaller and dragged down, and the lightness raised. The shot shows the
// turned picture with the selection's frame in the picture box and the lighter
// cut-out in the preview.
void EditThePicture(e2e::WizardDriver& wizard, const QString& folder, const QString& code)
{
    auto* page = static_cast<CDlgWiz4*>(wizard.Page(kPagePictureEditor));
    Check(wizard.Click(QStringLiteral("ButtonRotateright")), code + QStringLiteral(": turn right"));
    Check(page->m_edit.nQuarterTurns == 1, code + QStringLiteral(": one quarter turn"));

    QWindow* window = wizard.Frame().windowHandle();
    const auto drag = [&](QPoint from, QPoint to) {
        QTest::mouseMove(window, from);
        QTest::mousePress(window, Qt::LeftButton, {}, from);
        for (int k = 1; k <= 5; ++k)
            QTest::mouseMove(window, from + (to - from) * k / 5);
        QTest::mouseRelease(window, Qt::LeftButton, {}, to);
        e2e::Wait(100);
    };
    // The bottom-right handle pulled 40 pixels up and left, then the smaller
    // square dragged 20 pixels down.
    const RECT full = page->m_tool.GetSelection();
    drag(QPoint(full.right - 4, full.bottom - 4), QPoint(full.right - 44, full.bottom - 44));
    const RECT before = page->m_tool.GetSelection();
    Check(before.right - before.left < full.right - full.left, code + QStringLiteral(": the selection shrank"));
    const QPoint from((before.left + before.right) / 2, (before.top + before.bottom) / 2);
    drag(from, from + QPoint(0, 20));
    Check(page->m_tool.GetSelection().top > before.top, code + QStringLiteral(": the selection moved down"));

    // A press at 100 of the slider's 120 pixels: +40 of -60..60.
    if (QQuickItem* slider = wizard.Item(QStringLiteral("lightness"))) {
        const QPoint at = slider->mapToScene(QPointF(100, slider->height() / 2)).toPoint();
        QTest::mouseClick(wizard.Page(kPagePictureEditor)->m_movie, Qt::LeftButton, Qt::NoModifier, at);
        e2e::Wait(200);
    }
    Check(page->m_edit.dLightness > 0.6, code + QStringLiteral(": lighter"));
    Shoot(wizard, folder, code + QStringLiteral("-3b-picture-edited"));
}

void Walk(const std::string& language, const QString& folder)
{
    e2e::WizardDriver wizard(language);
    // The content page opens on a folder of real pictures.
    WriteSettingString("BrowseAnim", e2e::ContentFixtureFolder().toStdString(), kSubKeyWizardsUser);
    const QString code = QString::fromStdString(language);
    Check(wizard.Page(0) && wizard.Page(0)->m_movie->rootObject(), code + QStringLiteral(": movie loaded"));
    wizard.Frame().raise();
    Shoot(wizard, folder, code + QStringLiteral("-0-intro"));
    wizard.Key(Qt::Key_Return);
    Check(wizard.Click(QStringLiteral("choiceOpen")), code + QStringLiteral(": choiceOpen"));
    Shoot(wizard, folder, code + QStringLiteral("-1-start"));

    struct Stop {
        int page;
        const char* name;
    } stops[] = {{kPageContent, "2-content"}, {kPagePictureEditor, "3-picture"}, {kPageAnimEditor, "4-animation"},
                 {kPageSave, "5-save"},       {kPageTransfer, "6-transfer"}};
    for (const Stop& stop : stops) {
        if (wizard.CurrentPage() == kPageContent)
            Check(e2e::PickContentFile(wizard, QStringLiteral("square_walks_eight_frames.gif"), e2e::FixtureFolder()),
                  code + QStringLiteral(": pick the walk's animation"));
        Check(wizard.Click(QStringLiteral("nextButton")), code + QStringLiteral(": next towards ") + stop.name);
        Check(wizard.CurrentPage() == stop.page, code + QStringLiteral(": page shown for ") + stop.name);
        Shoot(wizard, folder, code + QLatin1Char('-') + QLatin1String(stop.name));
        if (stop.page == kPagePictureEditor)
            EditThePicture(wizard, folder, code);
    }
}

// ---- Save and transfer: the transfer page's result screens, with the real link.
void ShootTransferResults(const std::string& language, const QString& folder)
{
    e2e::WizardDriver wizard(language);
    const QString code = QString::fromStdString(language);
    const std::string phone = e2e::WorkFolder() + "/screens-phone";
    QDir().mkpath(QString::fromStdString(phone));
    qputenv("TESSARY_PHONE_STORAGE", QByteArray::fromStdString(phone));
    wizard.Frame().raise();
    e2e::Wait(900);
    wizard.Key(Qt::Key_Return);
    Check(wizard.Click(QStringLiteral("choiceOpen")), code + QStringLiteral(": choiceOpen"));
    Check(wizard.Click(QStringLiteral("nextButton")), code + QStringLiteral(": next to the content page"));
    Check(e2e::PickContentFile(wizard, QStringLiteral("square_walks_eight_frames.gif"), e2e::FixtureFolder()),
          code + QStringLiteral(": pick the walk's animation"));

    // The save dialog itself: a name typed without extension is saved as a GIF.
    for (int i = 0; i < 3 && wizard.CurrentPage() != kPageSave; ++i)
        wizard.Click(QStringLiteral("nextButton"));
    Check(wizard.CurrentPage() == kPageSave, code + QStringLiteral(": save page"));
    const QString saved = QString::fromStdString(e2e::WorkFolder()) + QStringLiteral("/screens-saved");
    QDir().mkpath(saved);
    platform::RegistrySetString("SOFTWARE\\Quenlor\\Tessary\\Customization Wizards\\user", "PathAnim",
                                saved.toStdString() + "/");
    bool dialogSeen = false;
    QTimer::singleShot(1500, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialogSeen = true;
        const QRect area = dialog->frameGeometry();
        dialog->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height())
            .save(folder + QLatin1Char('/') + code + QStringLiteral("-5b-save-dialog.png"));
        // As the user types it: a name without extension.
        if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
            name->setText(QStringLiteral("copy"));
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    });
    wizard.Click(QStringLiteral("SaveOnComp"));
    Check(dialogSeen, code + QStringLiteral(": the save dialog was shown"));
    Check(QFile::exists(saved + QStringLiteral("/copy.gif")), code + QStringLiteral(": the copy was saved as copy.gif"));

    // While sending: a slow stand-in link, caught half way.
    qputenv("TESSARY_LINK", (QCoreApplication::applicationDirPath() + QStringLiteral("/tessary-fake-link")).toUtf8());
    qputenv("FAKE_LINK_MODE", "slow");
    platform::RegistrySetString("SOFTWARE\\Quenlor\\Tessary", "Current Link", "USB");
    bool sendingSeen = false;
    QTimer::singleShot(1200, [&] {
        sendingSeen = wizard.CurrentPage() == kPageTransfer && wizard.Page(kPageTransfer)->m_movie->FrameNum() == 8;
        const QImage shot = Grab(wizard.Frame());
        shot.save(folder + QLatin1Char('/') + code + QStringLiteral("-6b-sending.png"));
    });
    wizard.Click(QStringLiteral("nextButton"));
    CMovieCtrl* sending = wizard.Page(kPageTransfer)->m_movie;
    for (int waited = 0; sending->FrameNum() != 9 && waited < 20000; waited += 50)
        e2e::Wait(50);
    Check(sendingSeen, code + QStringLiteral(": the transfer screen while sending"));
    wizard.Click(QStringLiteral("back"));
    static_cast<CDlgWiz6*>(wizard.Page(kPageTransfer))->m_pLink.reset();
    qunsetenv("TESSARY_LINK");
    qunsetenv("FAKE_LINK_MODE");

    // The link reads its setting for every file: a link it does not have fails.
    const struct {
        const char* link;
        const char* name;
    } results[] = {{"USB", "7-sent"}, {"Bluetooth", "8-failed"}};
    for (const auto& result : results) {
        platform::RegistrySetString("SOFTWARE\\Quenlor\\Tessary", "Current Link", result.link);
        // From the start page (or back from the transfer page) on to the transfer page.
        for (int i = 0; i < 4 && wizard.CurrentPage() != kPageTransfer; ++i)
            wizard.Click(QStringLiteral("nextButton"));
        Check(wizard.CurrentPage() == kPageTransfer, code + QStringLiteral(": transfer page for ") + result.name);
        CMovieCtrl* movie = wizard.Page(kPageTransfer)->m_movie;
        for (int waited = 0; movie->FrameNum() != 9 && waited < 20000; waited += 50)
            e2e::Wait(50);
        Check(movie->FrameNum() == 9, code + QStringLiteral(": result shown for ") + result.name);
        Shoot(wizard, folder, code + QLatin1Char('-') + QLatin1String(result.name));
        wizard.Click(QStringLiteral("back"));
    }
    qunsetenv("TESSARY_PHONE_STORAGE");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: e2e-screenshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    e2e::EnsureApp();
    QDir().mkpath(folder);

    QWidget backdrop;
    backdrop.setWindowFlags(Qt::FramelessWindowHint);
    backdrop.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, kBackdrop);
    backdrop.setPalette(palette);
    backdrop.setGeometry(QApplication::primaryScreen()->geometry());
    backdrop.show();
    e2e::Wait(200);

    Walk("EN", folder);
    Walk("CHS", folder);
    ShootTransferResults("EN", folder);
    std::printf("%d failed checks\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
