// The picture editor in the whole wizard with the English movie, offscreen: a
// photo chosen on the open path is turned, its selection dragged and resized
// and its lightness raised through the movie's own buttons and slider and the
// mouse on the picture box; Next puts what the preview showed into the animation.
#include "dlg_frame.h"
#include "dlg_wiz4.h"
#include "drawing_surface.h"
#include "edit_picture.h"
#include "message_box.h"
#include "movie_ctrl.h"
#include "raster_test_support.h"
#include "route_tables.h"
#include "test_support.h"
#include "wiz_page.h"
#include "wizard_driver_support.h"
#include "wizard_globals.h"

#include <QQuickItem>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

constexpr uint32_t kOpaqueBlack = 0xFF000000u;

// Mean of the red, green and blue of every pixel.
double Brightness(const CRaster& picture)
{
    double sum = 0;
    for (long y = 0; y < long(picture.GetHeight()); ++y)
        for (long x = 0; x < long(picture.GetWidth()); ++x) {
            const RGBQUAD c = picture.GetPixelColor(x, y);
            sum += c.rgbRed + c.rgbGreen + c.rgbBlue;
        }
    return sum / (3.0 * double(picture.GetWidth()) * double(picture.GetHeight()));
}

class PictureWalk : public ::testing::Test {
protected:
    void SetUp() override
    {
        wizard = std::make_unique<e2e::WizardDriver>("EN");
        ASSERT_NE(wizard->Page(0)->m_movie->rootObject(), nullptr) << "the English movie did not load";
        wizard->Key(Qt::Key_Return);
    }

    CDlgWiz4* Page() { return static_cast<CDlgWiz4*>(wizard->Page(kPagePictureEditor)); }
    RECT Selection() { return Page()->m_tool.GetSelection(); }

    // The mouse on the frame's window, in page pixels.
    void Drag(QPoint from, QPoint to)
    {
        QWindow* window = wizard->Frame().windowHandle();
        QTest::mouseMove(window, from);
        QTest::mousePress(window, Qt::LeftButton, {}, from);
        for (int k = 1; k <= 5; ++k)
            QTest::mouseMove(window, from + (to - from) * k / 5);
        QTest::mouseRelease(window, Qt::LeftButton, {}, to);
        e2e::Wait(100);
    }

    // A press on the movie's element at `x` pixels from its left edge.
    void PressAlong(const char* element, qreal x)
    {
        QQuickItem* item = wizard->Item(QString::fromLatin1(element));
        ASSERT_NE(item, nullptr) << element;
        const QPoint at = item->mapToScene(QPointF(x, item->height() / 2)).toPoint();
        QTest::mouseClick(Page()->m_movie, Qt::LeftButton, Qt::NoModifier, at);
        e2e::Wait(200);
    }

    testsupport::ScratchDir scratch{"tessary-picture-walk"};
    std::unique_ptr<e2e::WizardDriver> wizard;
};

} // namespace

TEST_F(PictureWalk, TurnsDragsAndLightensAPhotoIntoTheAnimation)
{
    const std::string photo = scratch.File("meadow.jpg");
    const testsupport::ShellResult made = testsupport::RunShell(
        "/usr/bin/python3 " TESSARY_SOURCE_DIR "/tests/picture/picture_fixtures.py scene " +
            testsupport::ShellQuote(photo) + " 640 480",
        scratch.Path());
    ASSERT_EQ(made.exitCode, 0) << made.err;

    ASSERT_TRUE(wizard->Click(QStringLiteral("choiceFullScreen")));
    ASSERT_TRUE(wizard->Click(QStringLiteral("choiceOpen")));
    ASSERT_TRUE(wizard->Click(QStringLiteral("nextButton")));
    ASSERT_EQ(wizard->CurrentPage(), kPageContent);
    ASSERT_TRUE(e2e::PickContentFile(*wizard, QStringLiteral("meadow.jpg"),
                                     QString::fromStdString(scratch.Path().string())));
    ASSERT_TRUE(wizard->Click(QStringLiteral("nextButton")));
    ASSERT_EQ(wizard->CurrentPage(), kPagePictureEditor);
    EXPECT_EQ(Page()->m_movie->GetVariable("filename"), "meadow.jpg");
    EXPECT_EQ(g_strAnimName, "meadow");

    // The photo in the picture box (182 x 136 for 640 x 480), black under it,
    // and its centred cut-out in the preview.
    platform::DrawingSurface* surface = Page()->m_surface;
    EXPECT_EQ(g_picture.m_rcDisplay, (RECT{33, 109, 215, 245}));
    EXPECT_NE(surface->Pixel(40, 115), kOpaqueBlack);
    EXPECT_EQ(surface->Pixel(40, 280), kOpaqueBlack);
    EXPECT_NE(surface->Pixel(470, 200), kOpaqueBlack);

    ASSERT_TRUE(wizard->Click(QStringLiteral("ButtonRotateright")));
    EXPECT_EQ(Page()->m_edit.nQuarterTurns, 1);
    EXPECT_EQ(g_picture.GetWidth(), 480);
    EXPECT_EQ(g_picture.GetHeight(), 640);
    EXPECT_EQ(g_picture.m_rcDisplay, (RECT{33, 109, 169, 291}));
    // The turned photo is 136 wide: the centred square spans it.
    const RECT centred = Selection();
    EXPECT_EQ(centred.right - centred.left, 136);

    // Dragged down by 20 (and no further than the picture's bottom), then its
    // bottom-right corner, grabbed at its handle, pulled to the pointer 44 up and left.
    const QPoint middle((centred.left + centred.right) / 2, (centred.top + centred.bottom) / 2);
    Drag(middle, middle + QPoint(0, 20));
    RECT s = Selection();
    EXPECT_EQ(s.top, centred.top + 20);
    Drag(middle + QPoint(0, 20), middle + QPoint(0, 60));
    s = Selection();
    EXPECT_EQ(s.bottom, 291);
    EXPECT_EQ(s.right - s.left, 136);
    Drag(QPoint(s.right - 4, s.bottom - 4), QPoint(s.right - 44, s.bottom - 44));
    s = Selection();
    EXPECT_EQ(s.right - s.left, 92);
    EXPECT_EQ(s.bottom - s.top, 92);
    const double before = Brightness(*Page()->m_preview.m_pImage);

    PressAlong("lightness", 100); // +40 of -60..60
    EXPECT_DOUBLE_EQ(Page()->m_edit.dLightness, 40 / 60.0);
    EXPECT_GT(Brightness(*Page()->m_preview.m_pImage), before + 40);

    // Next: the animation's one frame is what the preview showed.
    std::unique_ptr<CRaster> shown(new CRaster(*Page()->m_preview.m_pImage));
    platform::MessageBoxRecorder boxes;
    ASSERT_TRUE(wizard->Click(QStringLiteral("nextButton")));
    EXPECT_TRUE(boxes.Boxes().empty());
    ASSERT_EQ(wizard->CurrentPage(), kPageAnimEditor);
    ASSERT_EQ(g_animDoc.GetFrameCount(), 1);
    EXPECT_EQ(g_animDoc.GetWidth(), 128);
    EXPECT_TRUE(testsupport::SameColours(g_animDoc.GetFrame(0), shown.get()));
}

// Every language's movie gives the page its own sentence for a full animation,
// with the place for the number of pictures left out.
TEST(PictureWalkTexts, EveryLanguageSaysTheAnimationIsFullInItsOwnWords)
{
    e2e::EnsureApp();
    std::string english;
    for (const char* code : {"EN", "FR", "DE", "SP", "IT", "PT", "NL", "PL", "CZ", "RU", "CHS", "CHT"}) {
        SCOPED_TRACE(code);
        QWidget host;
        CMovieCtrl movie(&host);
        movie.Movie(std::string("file://" TESSARY_SOURCE_DIR "/movies/") + code + "/Plendix.swf?frm=5");
        ASSERT_NE(movie.rootObject(), nullptr);
        const std::string text = movie.GetVariable("TxtAnimFull");
        EXPECT_NE(text.find("%1%"), std::string::npos) << text;
        EXPECT_NE(text.find("256"), std::string::npos) << text;
        if (english.empty())
            english = text;
        else
            EXPECT_NE(text, english) << "not translated";
    }
}
