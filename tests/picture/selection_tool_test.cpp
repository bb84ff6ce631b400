// The square selection: initial fit, hit tests, the mouse states and cursors,
// moving and resizing within the picture, and the inverting drawing.
#include <gtest/gtest.h>

#include <vector>

#include "edit_picture.h"
#include "selection_tool.h"

namespace {

// The bounds of a 182 x 91 display at the picture box position.
const RECT kWide{33, 109, 215, 200};
const RECT kSquare{33, 109, 215, 291};

CSelectionTool Attached(const RECT& bounds, RasterSurface* dc = nullptr)
{
    CSelectionTool tool;
    tool.Attach(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
    return tool;
}

std::string Str(const RECT& r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

} // namespace

TEST(SelectionFit, IsTheLargestCentredSquare)
{
    struct Case {
        RECT bounds;
        double aspect;
        RECT want;
    } cases[] = {
        {kWide, 1.0, {78, 109, 169, 200}},
        {{33, 109, 124, 291}, 1.0, {33, 154, 124, 245}},  // 91 x 182: full width, centred vertically
        {kSquare, 1.0, {33, 109, 215, 291}},
        {kWide, 2.0, {33, 108, 215, 199}}, // not wider than 2:1, so centred vertically, rounding up a row
        {{33, 109, 215, 109}, 1.0, {124, 109, 124, 109}}, // no height: ratio taken as 1000
    };
    for (const Case& c : cases) {
        CSelectionTool tool;
        tool.SetAspect(c.aspect);
        tool.Attach(nullptr, c.bounds.left, c.bounds.top, c.bounds.right, c.bounds.bottom);
        EXPECT_TRUE(tool.IsActive());
        EXPECT_EQ(tool.GetSelection(), c.want) << "bounds " << Str(c.bounds) << ": have " << Str(tool.GetSelection());
    }
}

TEST(SelectionHit, HandlesAnswerAround4PixelsInsideEachCornerAndTheLastHitWins)
{
    CSelectionTool tool = Attached(kWide); // selection (78,109)-(169,200)
    struct Case {
        int x, y;
        bool hit;
        int handle;
        POINT anchor;
    } cases[] = {
        {82, 113, true, 1, {169, 200}},  {74, 105, true, 1, {169, 200}},   {90, 113, false, 0, {0, 0}},
        {165, 113, true, 2, {78, 200}},  {82, 196, true, 3, {169, 109}},   {165, 196, true, 4, {78, 109}},
        {172, 203, true, 4, {78, 109}},  {173, 204, false, 0, {0, 0}},     {120, 150, false, 0, {0, 0}},
    };
    for (const Case& c : cases) {
        const bool hit = tool.HitHandle(c.x, c.y);
        EXPECT_EQ(hit, c.hit) << c.x << "," << c.y;
        EXPECT_EQ(tool.GetHandle(), c.handle) << c.x << "," << c.y;
        if (c.hit) {
            EXPECT_EQ(tool.GetAnchor().x, c.anchor.x);
            EXPECT_EQ(tool.GetAnchor().y, c.anchor.y);
        }
    }

    EXPECT_TRUE(tool.HitInside(78, 109));
    EXPECT_FALSE(tool.HitInside(169, 150));
    EXPECT_FALSE(tool.HitInside(120, 200));
    EXPECT_TRUE(tool.HitInside(168, 199));

    // A selection so small that all four squares overlap: handle 4 is tested last.
    tool.SetSelection(RECT{100, 150, 106, 156});
    EXPECT_TRUE(tool.HitHandle(103, 153));
    EXPECT_EQ(tool.GetHandle(), 4);
}

TEST(SelectionMouse, CursorsFollowHandlesInsideAndOutside)
{
    CSelectionTool tool = Attached(kWide);
    EXPECT_EQ(tool.OnMouse(0, 82, 113, nullptr), SelectionCursor::SizeNWSE);
    EXPECT_EQ(tool.OnMouse(0, 165, 113, nullptr), SelectionCursor::SizeNESW);
    EXPECT_EQ(tool.OnMouse(0, 82, 196, nullptr), SelectionCursor::SizeNESW);
    EXPECT_EQ(tool.OnMouse(0, 165, 196, nullptr), SelectionCursor::SizeNWSE);
    EXPECT_EQ(tool.OnMouse(0, 120, 150, nullptr), SelectionCursor::SizeAll);
    EXPECT_EQ(tool.OnMouse(0, 40, 150, nullptr), SelectionCursor::Arrow);

    CSelectionTool inactive;
    EXPECT_EQ(inactive.OnMouse(kMouseLeftButton, 120, 150, nullptr), SelectionCursor::Arrow);
    EXPECT_EQ(inactive.GetState(), 0);
}

TEST(SelectionMouse, TheFirstEventAfterAttachDoesNotMove)
{
    CSelectionTool tool = Attached(kWide);
    const RECT start = tool.GetSelection();
    tool.OnMouse(kMouseLeftButton, 120, 150, nullptr);
    EXPECT_EQ(tool.GetState(), CSelectionTool::StateMoving);
    EXPECT_EQ(tool.GetSelection(), start);
    tool.OnMouse(kMouseLeftButton, 110, 150, nullptr);
    EXPECT_EQ(tool.GetSelection(), (RECT{68, 109, 159, 200}));

    // Clear forgets the position again.
    tool.Clear();
    tool.OnMouse(kMouseLeftButton, 60, 150, nullptr);
    EXPECT_EQ(tool.GetSelection(), (RECT{68, 109, 159, 200}));
}

TEST(SelectionMouse, MovingStopsFlushWithTheBounds)
{
    CSelectionTool tool = Attached(kWide);
    tool.OnMouse(kMouseLeftButton, 120, 150, nullptr);
    EXPECT_EQ(tool.OnMouse(kMouseLeftButton, 400, 170, nullptr), SelectionCursor::SizeAll)
        << "still moving, even with the pointer far outside";
    EXPECT_EQ(tool.GetSelection(), (RECT{124, 109, 215, 200}));
    tool.OnMouse(kMouseLeftButton, -300, 100, nullptr);
    EXPECT_EQ(tool.GetSelection(), (RECT{33, 109, 124, 200}));
}

TEST(SelectionMouse, APressOutsideStaysOutsideUntilRelease)
{
    CSelectionTool tool = Attached(kWide);
    const RECT start = tool.GetSelection();
    tool.OnMouse(kMouseLeftButton, 40, 150, nullptr);
    EXPECT_EQ(tool.GetState(), CSelectionTool::StatePressedOutside);
    tool.OnMouse(kMouseLeftButton, 120, 150, nullptr);
    tool.OnMouse(kMouseLeftButton, 130, 150, nullptr);
    EXPECT_EQ(tool.GetState(), CSelectionTool::StatePressedOutside);
    EXPECT_EQ(tool.GetSelection(), start);
    tool.OnMouse(0, 130, 150, nullptr);
    EXPECT_EQ(tool.GetState(), CSelectionTool::StateIdle);
    tool.OnMouse(kMouseLeftButton, 130, 150, nullptr);
    EXPECT_EQ(tool.GetState(), CSelectionTool::StateMoving);
}

TEST(SelectionResize, EachCornerStopsAt40AndKeepsItsAnchor)
{
    struct Case {
        POINT grab;   // on the handle
        POINT drag;   // far past the anchor
        RECT want;
    } cases[] = {
        {{37, 113}, {400, 400}, {175, 251, 215, 291}},
        {{211, 113}, {-100, 400}, {33, 251, 73, 291}},
        {{37, 287}, {400, -100}, {175, 109, 215, 149}},
        {{211, 287}, {-100, -100}, {33, 109, 73, 149}},
    };
    for (const Case& c : cases) {
        CSelectionTool tool = Attached(kSquare);
        tool.OnMouse(kMouseLeftButton, c.grab.x, c.grab.y, nullptr);
        ASSERT_EQ(tool.GetState(), CSelectionTool::StateResizing);
        tool.OnMouse(kMouseLeftButton, c.drag.x, c.drag.y, nullptr);
        EXPECT_EQ(tool.GetSelection(), c.want) << "grab " << c.grab.x << "," << c.grab.y << ": have "
                                               << Str(tool.GetSelection());
    }
}

TEST(SelectionResize, FollowsTheAspectAndStaysInTheBounds)
{
    CSelectionTool tool = Attached(kSquare); // (33,109)-(215,291)
    tool.OnMouse(kMouseLeftButton, 211, 287, nullptr);
    // Too wide: the height decides.
    tool.OnMouse(kMouseLeftButton, 180, 160, nullptr);
    EXPECT_EQ(tool.GetSelection(), (RECT{33, 109, 84, 160})) << "have " << Str(tool.GetSelection());
    // Too tall: the width decides.
    tool.OnMouse(kMouseLeftButton, 150, 260, nullptr);
    EXPECT_EQ(tool.GetSelection(), (RECT{33, 109, 150, 226})) << "have " << Str(tool.GetSelection());
    // Past the bounds: clamped to them.
    tool.OnMouse(kMouseLeftButton, 500, 500, nullptr);
    EXPECT_EQ(tool.GetSelection(), kSquare);
    // Dragged into the opposite corner the selection stops at 40 x 40, and the
    // pointer now lies over that corner's handle, which takes the grip: the
    // anchor becomes the corner it left behind.
    tool.OnMouse(kMouseLeftButton, 36, 112, nullptr);
    EXPECT_EQ(tool.GetSelection(), (RECT{33, 109, 73, 149}));
    EXPECT_EQ(tool.GetHandle(), CSelectionTool::HandleTopLeft);
    EXPECT_EQ(tool.GetAnchor().x, 73);
    EXPECT_EQ(tool.GetAnchor().y, 149);
    tool.OnMouse(0, 36, 112, nullptr);
    EXPECT_EQ(tool.GetState(), CSelectionTool::StateIdle);
}

TEST(SelectionDraw, InvertsHandlesAndDashesOnce)
{
    std::vector<uint32_t> pixels(300 * 300, 0xFF102030u);
    RasterSurface surface{pixels.data(), 300, 300, 300, RECT{0, 0, 300, 300}};
    CSelectionTool tool = Attached(kWide, &surface); // (78,109)-(169,200)
    const std::vector<uint32_t> before = pixels;
    tool.DrawTool();
    auto px = [&](int x, int y) { return pixels[size_t(y) * 300 + size_t(x)]; };
    const uint32_t inverted = 0xFFEFDFCFu;
    const uint32_t plain = 0xFF102030u;

    // Handle 1 around (82, 113), cut to the bounds at the top: rows 109..117.
    EXPECT_EQ(px(77, 110), inverted);
    EXPECT_EQ(px(86, 117), inverted);
    EXPECT_EQ(px(87, 113), plain);
    EXPECT_EQ(px(82, 118), plain);
    // Top edge dashes: 8 on, 2 off, from left + 10, two rows thick.
    EXPECT_EQ(px(88, 109), inverted);
    EXPECT_EQ(px(95, 110), inverted);
    EXPECT_EQ(px(96, 109), plain);
    EXPECT_EQ(px(98, 109), inverted);
    EXPECT_EQ(px(98, 111), plain);
    // Right edge at x 167..168, bottom edge at y 198..199, left edge at x 78..79.
    EXPECT_EQ(px(168, 119), inverted);
    EXPECT_EQ(px(166, 119), plain);
    EXPECT_EQ(px(88, 199), inverted);
    EXPECT_EQ(px(79, 125), inverted);
    EXPECT_EQ(px(80, 125), plain);
    // Inside stays untouched.
    EXPECT_EQ(px(120, 150), plain);

    // Inverting is its own undo; an inactive tool draws nothing.
    tool.DrawTool();
    EXPECT_EQ(pixels, before);
    tool.Detach();
    tool.DrawTool();
    EXPECT_EQ(pixels, before);
}

TEST(SelectionDraw, DraggingRedrawsThePictureUnderTheTool)
{
    std::vector<uint32_t> pixels(300 * 300, 0);
    RasterSurface surface{pixels.data(), 300, 300, 300, RECT{0, 0, 300, 300}};
    CEditPicture picture;
    picture.SetSurface(&surface);
    picture.m_x = 33;
    picture.m_y = 109;
    auto* image = new CRaster(364, 182, 24, 0);
    image->Clear(200);
    picture.SetImage(image);
    picture.DrawPicture(true);
    CSelectionTool tool = Attached(picture.m_rcClip, &surface);
    tool.DrawTool();
    tool.OnMouse(kMouseLeftButton, 120, 150, &picture);
    tool.OnMouse(kMouseLeftButton, 130, 150, &picture);
    // The old frame was painted over and the new one drawn: the top-left
    // handle is now around (92, 113); the old one at (82, 113) is gone.
    auto px = [&](int x, int y) { return pixels[size_t(y) * 300 + size_t(x)]; };
    EXPECT_EQ(px(83, 113), 0xFFC8C8C8u);
    EXPECT_EQ(px(92, 113), 0xFF373737u);
}
