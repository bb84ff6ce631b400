// The page's drawing surface: fills, inversions, copies and reads stay inside the
// clip box, and undrawn pixels stay transparent so the movie shows through.
#include "drawing_surface.h"

#include <QApplication>
#include <gtest/gtest.h>

namespace {

void EnsureApp()
{
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "surface-test";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
}

class Surface : public ::testing::Test {
protected:
    void SetUp() override
    {
        EnsureApp();
        surface = std::make_unique<platform::DrawingSurface>(nullptr);
        surface->resize(20, 10);
    }
    std::unique_ptr<platform::DrawingSurface> surface;
};

TEST_F(Surface, StartsUndrawnAndFollowsTheWidgetSize)
{
    EXPECT_EQ(surface->Image().size(), QSize(20, 10));
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            ASSERT_EQ(surface->Pixel(x, y), 0u) << x << "," << y;
    EXPECT_TRUE(surface->testAttribute(Qt::WA_TransparentForMouseEvents)) << "the movie keeps the clicks";
    const RECT clip = surface->ClipBox();
    EXPECT_EQ(clip, (RECT{0, 0, 20, 10}));
}

TEST_F(Surface, FillIsOpaqueAndClipped)
{
    surface->SetClipBox(RECT{2, 2, 10, 8});
    surface->FillRect(RECT{0, 0, 5, 5}, 0x123456);
    EXPECT_EQ(surface->Pixel(2, 2), 0xFF123456u);
    EXPECT_EQ(surface->Pixel(4, 4), 0xFF123456u);
    EXPECT_EQ(surface->Pixel(1, 1), 0u) << "outside the clip box";
    EXPECT_EQ(surface->Pixel(5, 4), 0u) << "right edge is exclusive";
    EXPECT_EQ(surface->Pixel(-1, 0), 0u);
    EXPECT_EQ(surface->Pixel(20, 0), 0u);
}

TEST_F(Surface, InvertingTwiceGivesEveryPixelBack)
{
    surface->FillRect(RECT{0, 0, 4, 10}, 0xFFFFFF);
    surface->FillRect(RECT{4, 0, 8, 10}, 0x000000);
    surface->FillRect(RECT{8, 0, 12, 10}, 0x336699);
    const QImage before = surface->Image().copy();
    surface->InvertRect(RECT{0, 0, 16, 10});
    EXPECT_EQ(surface->Pixel(0, 0), 0xFF000000u);
    EXPECT_EQ(surface->Pixel(4, 0), 0xFFFFFFFFu & 0xFFFFFFFFu);
    EXPECT_EQ(surface->Pixel(8, 0), 0xFFCC9966u);
    EXPECT_NE(surface->Pixel(12, 0) >> 24, 0u) << "an undrawn pixel shows inverted (white)";
    EXPECT_EQ(surface->Pixel(12, 0) & 0xFFFFFFu, 0xFFFFFFu);
    EXPECT_EQ(surface->Pixel(16, 0), 0u) << "outside the rectangle";
    surface->InvertRect(RECT{0, 0, 16, 10});
    EXPECT_EQ(surface->Image(), before);
}

TEST_F(Surface, SetPixelsCopiesRowsAndStaysInside)
{
    const uint32_t source[3 * 4] = {
        0xFF000001, 0xFF000002, 0xFF000003, 0xDEAD,
        0xFF000004, 0xFF000005, 0xFF000006, 0xDEAD,
        0xFF000007, 0xFF000008, 0xFF000009, 0xDEAD,
    };
    surface->SetPixels(18, 8, 3, 3, source, 4); // runs off the right and bottom edges
    EXPECT_EQ(surface->Pixel(18, 8), 0xFF000001u);
    EXPECT_EQ(surface->Pixel(19, 8), 0xFF000002u);
    EXPECT_EQ(surface->Pixel(18, 9), 0xFF000004u);
    EXPECT_EQ(surface->Pixel(19, 9), 0xFF000005u);

    surface->SetPixels(-1, -1, 3, 3, source, 4); // runs off the left and top edges
    EXPECT_EQ(surface->Pixel(0, 0), 0xFF000005u);
    EXPECT_EQ(surface->Pixel(1, 1), 0xFF000009u);
    EXPECT_EQ(surface->Pixel(2, 0), 0u);
}

TEST_F(Surface, RasterViewSharesThePixelsAndTheClip)
{
    surface->SetClipBox(RECT{-5, 3, 50, 7});
    EXPECT_EQ(surface->ClipBox(), (RECT{0, 3, 20, 7})) << "the clip box never leaves the surface";
    RasterSurface view = surface->Surface();
    EXPECT_EQ(view.width, 20);
    EXPECT_EQ(view.height, 10);
    EXPECT_GE(view.stride, 20);
    EXPECT_EQ(view.clip, (RECT{0, 3, 20, 7}));
    view.pixels[4 * view.stride + 6] = 0xFF00FF00u;
    EXPECT_EQ(surface->Pixel(6, 4), 0xFF00FF00u);
    surface->Clear();
    EXPECT_EQ(surface->Pixel(6, 4), 0u);
}

} // namespace
