// Screenshots of every page, in English and in Simplified Chinese, taken from
// the screen of a real X11 server so that the frame's shape shows. Run under
// Xvfb:  e2e-screenshots OUTPUT_FOLDER
// A plain backdrop lies under the frame; each picture is checked to show the
// backdrop outside the shape (rounded corners, curved lower sides) and the
// page inside it. Exits non-zero when a check fails.
#include "dlg_frame.h"
#include "movie_ctrl.h"
#include "route_tables.h"
#include "wiz_page.h"
#include "wizard_driver_support.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QScreen>
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

void Walk(const std::string& language, const QString& folder)
{
    e2e::WizardDriver wizard(language);
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
        if (wizard.CurrentPage() == kPageContent) {
            Check(e2e::LoadAnimation(e2e::FixturePath("square_walks_eight_frames.gif")),
                  code + QStringLiteral(": the walk's animation loads"));
            wizard.Page(kPageContent)->m_movie->TGotoFrame("next", 1);
        }
        Check(wizard.Click(QStringLiteral("nextButton")), code + QStringLiteral(": next towards ") + stop.name);
        Check(wizard.CurrentPage() == stop.page, code + QStringLiteral(": page shown for ") + stop.name);
        Shoot(wizard, folder, code + QLatin1Char('-') + QLatin1String(stop.name));
    }
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
    std::printf("%d failed checks\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
