// The editor's picture: where it is shown in the box, cut-out and fit at phone
// size, lightness, drawing; and the preview picture.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "edit_picture.h"
#include "preview_picture.h"
#include "raster_test_support.h"

namespace {

// A 24-bit picture whose pixel (x, y), y from the top, is colour(x, y), and the
// colour at (x, y) counted from the top row.
constexpr auto Picture = &testsupport::MakeTrueColour;
constexpr auto At = &testsupport::ColourAtTop;

// Scaling truncates single-precision blends, so a flat colour may come out
// one step lower in a channel.
bool Near(const RGBQUAD& have, const RGBQUAD& want)
{
    auto close = [](int a, int b) { return a - b <= 1 && b - a <= 1; };
    return close(have.rgbRed, want.rgbRed) && close(have.rgbGreen, want.rgbGreen) &&
           close(have.rgbBlue, want.rgbBlue);
}

const RGBQUAD kBlack = MakeRgbQuad(0, 0, 0);
const RGBQUAD kRed = MakeRgbQuad(255, 0, 0);
const RGBQUAD kBlue = MakeRgbQuad(0, 0, 255);

struct Shown {
    CEditPicture picture;
    Shown(uint32_t w, uint32_t h)
    {
        picture.m_x = 33;
        picture.m_y = 109;
        picture.SetImage(Picture(w, h, [](uint32_t, uint32_t) { return MakeRgbQuad(9, 9, 9); }));
    }
};

} // namespace

TEST(EditPictureDisplay, SmallPicturesShowAtNaturalSizeLargeOnesFitTheBox)
{
    struct Case {
        uint32_t w, h;
        bool fit;
        RECT want;
    } cases[] = {
        {100, 50, true, {33, 109, 133, 159}},
        {181, 181, false, {33, 109, 214, 290}},
        {364, 182, true, {33, 109, 215, 200}},  // 182 x 91
        {182, 364, true, {33, 109, 124, 291}},  // 91 x 182
        {182, 100, true, {33, 109, 215, 209}},  // one side reaching the box is enough to scale
        {300, 310, true, {33, 109, 209, 291}},  // 176 x 182
        {310, 310, true, {33, 109, 215, 290}},  // 182 x 181: (182 / 310) x 310 is just under 182
        {310, 310, false, {33, 109, 214, 291}}, // 181 x 182
        {200, 200, true, {33, 109, 215, 291}},  // 182 x 182
    };
    for (const Case& c : cases) {
        Shown s(c.w, c.h);
        s.picture.ComputeDisplayRect(c.fit);
        EXPECT_EQ(s.picture.m_rcDisplay, c.want) << c.w << " x " << c.h << " fit " << c.fit << ": have "
                                                << s.picture.m_rcDisplay.right - 33 << " x "
                                                << s.picture.m_rcDisplay.bottom - 109;
        EXPECT_EQ(s.picture.m_rcClip, s.picture.m_rcDisplay);
    }
}

TEST(EditPictureFit, AWidePictureBecomesABandOnBlack)
{
    CEditPicture picture;
    picture.SetImage(Picture(200, 100, [](uint32_t, uint32_t) { return MakeRgbQuad(200, 150, 100); }));
    std::unique_ptr<CRaster> fitted(picture.FitToSize(128, 128));
    ASSERT_NE(fitted, nullptr);
    ASSERT_EQ(fitted->GetWidth(), 128u);
    ASSERT_EQ(fitted->GetHeight(), 128u);
    for (long y = 0; y < 128; ++y) {
        const RGBQUAD want = (y >= 32 && y < 96) ? MakeRgbQuad(200, 150, 100) : kBlack;
        for (long x = 0; x < 128; ++x)
            ASSERT_TRUE(Near(At(*fitted, x, y), want)) << "at " << x << "," << y;
    }
}

TEST(EditPictureFit, ATallPictureBecomesAColumnAndPaletteSurvives)
{
    CEditPicture picture;
    CRaster* tall = Picture(50, 100, [](uint32_t, uint32_t) { return kBlue; });
    tall->DecreaseBpp(8, false, nullptr);
    picture.SetImage(tall);
    std::unique_ptr<CRaster> fitted(picture.FitToSize(64, 64));
    ASSERT_NE(fitted, nullptr);
    EXPECT_EQ(fitted->GetBpp(), 8u);
    EXPECT_EQ(At(*fitted, 15, 10), kBlack);
    EXPECT_TRUE(Near(At(*fitted, 16, 10), kBlue));
    EXPECT_TRUE(Near(At(*fitted, 47, 63), kBlue));
    EXPECT_EQ(At(*fitted, 48, 0), kBlack);

    // A hair-thin picture still leaves a visible band rather than nothing.
    picture.SetImage(Picture(1000, 1, [](uint32_t, uint32_t) { return kRed; }));
    std::unique_ptr<CRaster> thin(picture.FitToSize(128, 128));
    ASSERT_NE(thin, nullptr);
    EXPECT_TRUE(Near(At(*thin, 64, 64), kRed)); // model row 63 of 128
    EXPECT_EQ(At(*thin, 64, 0), kBlack);
}

TEST(EditPictureCrop, CutsTheSelectionWithTheDisplayScale)
{
    // 364 x 182 shown 182 x 91: one display pixel is two picture pixels.
    CEditPicture picture;
    picture.m_x = 33;
    picture.m_y = 109;
    picture.SetImage(Picture(364, 182, [](uint32_t x, uint32_t y) {
        if (x < 182)
            return kRed;
        return y < 91 ? kBlue : MakeRgbQuad(0, 255, 0);
    }));
    picture.ComputeDisplayRect(true);
    std::unique_ptr<CRaster> left(picture.CropToSize(33, 109, 124, 200, 64, 64));
    ASSERT_NE(left, nullptr);
    EXPECT_EQ(left->GetWidth(), 64u);
    EXPECT_EQ(left->GetHeight(), 64u);
    EXPECT_TRUE(Near(At(*left, 0, 0), kRed));
    EXPECT_TRUE(Near(At(*left, 63, 63), kRed));

    // The top-right quarter of the display is the blue quarter of the picture.
    std::unique_ptr<CRaster> quarter(picture.CropToSize(124, 109, 215, 154, 91, 45));
    ASSERT_NE(quarter, nullptr);
    EXPECT_TRUE(Near(At(*quarter, 45, 22), kBlue));

    // Nothing under the selection: no picture.
    EXPECT_EQ(picture.CropToSize(300, 300, 340, 340, 64, 64), nullptr);
    CEditPicture empty;
    EXPECT_EQ(empty.CropToSize(0, 0, 10, 10, 64, 64), nullptr);
    EXPECT_EQ(empty.FitToSize(64, 64), nullptr);
}

// The editor's picture may still have an alpha plane (an RGBA PNG inserted
// or replacing a frame); the cut-out and the fit are GIF frames, so they show
// it over the grey of PNGs without a background colour, never the black the
// transparent pixels hide, also where smoothing mixes neighbours.
TEST(EditPictureAlpha, CutAndFitShowTransparentPixelsOverGrey)
{
    const RGBQUAD grey = MakeRgbQuad(192, 192, 192);
    for (bool fit : {false, true}) {
        CEditPicture picture;
        picture.m_x = 33;
        picture.m_y = 109;
        CRaster* icon = Picture(40, 40, [](uint32_t x, uint32_t y) {
            return x >= 10 && x < 30 && y >= 10 && y < 30 ? kRed : kBlack;
        });
        ASSERT_TRUE(icon->AlphaCreate());
        for (long y = 0; y < 40; ++y)
            for (long x = 0; x < 40; ++x)
                icon->AlphaSet(x, y, icon->GetPixelColor(x, y) == kRed ? 255 : 0);
        picture.SetImage(icon);
        picture.ComputeDisplayRect(true);
        std::unique_ptr<CRaster> made(fit ? picture.FitToSize(64, 64)
                                          : picture.CropToSize(33, 109, 73, 149, 64, 64));
        ASSERT_NE(made, nullptr);
        EXPECT_FALSE(made->HasAlpha());
        EXPECT_EQ(At(*made, 2, 2), grey) << (fit ? "fit" : "cut");
        EXPECT_TRUE(Near(At(*made, 32, 32), kRed)) << (fit ? "fit" : "cut");
        for (long y = 0; y < 64; ++y)
            for (long x = 0; x < 64; ++x) {
                const RGBQUAD c = At(*made, x, y);
                ASSERT_TRUE(c.rgbRed >= 191 && c.rgbGreen <= 192 && c.rgbGreen == c.rgbBlue)
                    << (fit ? "fit" : "cut") << " at " << x << "," << y << ": have " << int(c.rgbRed) << ","
                    << int(c.rgbGreen) << "," << int(c.rgbBlue) << ", want between grey and red";
            }
    }
}

TEST(EditPictureLightness, ShiftsEveryChannelByAmountTimes128)
{
    struct Case {
        double amount;
        uint8_t want;
    } cases[] = {{0.0, 100}, {0.5, 164}, {-0.5, 36}, {1.0, 228}, {30 * (1.0 / 60), 164}, {-1.0, 0}};
    for (const Case& c : cases) {
        CEditPicture picture;
        picture.SetImage(Picture(4, 4, [](uint32_t, uint32_t) { return MakeRgbQuad(100, 100, 100); }));
        picture.ApplyLightness(c.amount);
        EXPECT_EQ(At(*picture.m_pImage, 1, 1), MakeRgbQuad(c.want, c.want, c.want)) << "amount " << c.amount;
    }
}

TEST(EditPictureDraw, BlackensTheBoxAndDrawsIntoTheDisplayRectangle)
{
    std::vector<uint32_t> pixels(300 * 300, 0);
    RasterSurface surface{pixels.data(), 300, 300, 300, RECT{0, 0, 300, 300}};
    CEditPicture picture;
    picture.m_x = 33;
    picture.m_y = 109;
    picture.SetSurface(&surface);
    picture.SetImage(Picture(364, 182, [](uint32_t, uint32_t) { return kRed; }));
    picture.DrawPicture(true);
    auto px = [&](int x, int y) { return pixels[size_t(y) * 300 + size_t(x)]; };
    EXPECT_EQ(px(33, 109), 0xFFFF0000u);
    EXPECT_EQ(px(214, 199), 0xFFFF0000u);
    EXPECT_EQ(px(214, 200), 0xFF000000u) << "the box below the picture is black";
    EXPECT_EQ(px(214, 290), 0xFF000000u);
    EXPECT_EQ(px(215, 150), 0u) << "nothing is drawn right of the box";
    EXPECT_EQ(px(32, 150), 0u);
}

TEST(PreviewPicture, CopiesTheHolderDeeplyAndDrawsAtNaturalSize)
{
    std::vector<uint32_t> pixels(200 * 200, 0);
    RasterSurface surface{pixels.data(), 200, 200, 200, RECT{0, 0, 200, 200}};
    CEditPicture source;
    source.SetSurface(&surface);
    source.m_x = 70;
    source.m_y = 80;
    source.SetImage(Picture(20, 10, [](uint32_t, uint32_t) { return kBlue; }));
    CPreviewPicture preview(source);
    ASSERT_NE(preview.m_pImage, nullptr);
    EXPECT_NE(preview.m_pImage, source.m_pImage);
    EXPECT_EQ(preview.m_x, 70);

    EXPECT_NE(preview.DrawPreview(), 0);
    EXPECT_EQ(pixels[80 * 200 + 70], 0xFF0000FFu);
    EXPECT_EQ(pixels[89 * 200 + 89], 0xFF0000FFu);
    EXPECT_EQ(pixels[90 * 200 + 89], 0u);
    EXPECT_EQ(pixels[89 * 200 + 90], 0u);

    CPreviewPicture nothing;
    nothing.SetSurface(&surface);
    EXPECT_EQ(nothing.DrawPreview(), 0);
}
