// The animation editor page, offscreen: the real frame with the editor as page
// 2, a recording movie, a settings store of its own and animations loaded
// through the models as the content page loads them.
#include "anim_doc.h"
#include "anim_size.h"
#include "anim_test_support.h"
#include "dlg_frame.h"
#include "dlg_mask.h"
#include "dlg_wiz3.h"
#include "drawing_surface.h"
#include "edit_picture.h"
#include "edit_result.h"
#include "fit_animation.h"
#include "message_box.h"
#include "messages.h"
#include "route_tables.h"
#include "size_meter_worker.h"
#include "wizard_globals.h"
#include "wizard_test_support.h"

#include <QElapsedTimer>
#include <QQuickItem>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <numeric>
#include <set>
#include <sstream>

using animtest::RunFixtures;
using animtest::ScratchDir;
using wizard_test::Pump;
using wizard_test::RecordingMovie;

namespace {

// Replaces one value of the test's settings store, e.g. ("AnimMaxSize", "dword:00000400").
void SetStoreValue(const char* name, const std::string& value)
{
    const QString path = QString::fromLocal8Bit(qgetenv("TESSARY_REGISTRY"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QString text = QString::fromUtf8(file.readAll());
    file.close();
    const QRegularExpression line(QStringLiteral("\"%1\"=[^\\r\\n]*").arg(QLatin1String(name)));
    ASSERT_TRUE(text.contains(line)) << name;
    text.replace(line, QStringLiteral("\"%1\"=%2").arg(QLatin1String(name), QString::fromStdString(value)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text.toUtf8());
}

std::string Dword(uint32_t value)
{
    char text[32];
    std::snprintf(text, sizeof text, "dword:%08x", value);
    return text;
}

std::string StoreText(const char* name)
{
    const QString path = QString::fromLocal8Bit(qgetenv("TESSARY_REGISTRY"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QRegularExpression line(QStringLiteral("\"%1\"=\"([^\"]*)\"").arg(QLatin1String(name)));
    return line.match(QString::fromUtf8(file.readAll())).captured(1).toStdString();
}

// 0xRRGGBB of a frame's pixel, x from the left and y from the top.
uint32_t FrameColour(int32_t index, long x, long yFromTop)
{
    const CRaster* frame = g_animDoc.GetFrame(index);
    const RGBQUAD c = frame->GetPixelColor(x, long(frame->GetHeight()) - 1 - yFromTop);
    return uint32_t(c.rgbRed) << 16 | uint32_t(c.rgbGreen) << 8 | c.rgbBlue;
}

class EditorPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        wizard_test::EnsureApp();
        g_messages = BuildMessages("EN");
        g_createNew = 0;
        g_pageRoute = 0;
        g_imageSize = 128;
        g_nCurrentFrame = 0;
        g_strAnimName = "holiday";
        g_tempGifPath.clear();
    }

    void TearDown() override
    {
        frame.reset();
        movies.reset();
        // The document outlives every test, as it outlives every page.
        g_animDoc.SetDelayLimits(0, 0, 0);
        while (g_animDoc.GetFrameCount() > 1)
            g_animDoc.DeleteFrame(0);
        g_animDoc.ShiftFrames(0, -1);
    }

    // Builds the frame with the editor as page 2 and plain pages elsewhere,
    // reading the store as it is now, with recording movies or the language's
    // own. The editor's timers are stopped: the tests step them.
    void Start(bool bRecordingMovie = true)
    {
        frame.reset();
        movies.reset();
        if (bRecordingMovie)
            movies = std::make_unique<wizard_test::RecordingMovies>();
        frame = std::make_unique<CDlgFrame>([](int index, CDlgFrame* parent) -> CWizPage* {
            if (index == kPageAnimEditor)
                return new CDlgWiz3(parent);
            return new CWizPage(parent, index);
        });
        frame->OnInitDialog();
        frame->show();
        QElapsedTimer waited;
        waited.start();
        while (!frame->Page(kPageCount - 1) && waited.elapsed() < 10000)
            Pump(50);
        page = static_cast<CDlgWiz3*>(frame->Page(kPageAnimEditor));
        ASSERT_NE(page, nullptr);
        page->StopTimers();
        if (!bRecordingMovie)
            return;
        movie = wizard_test::RecordingMovies::Of(page->m_movie);
        ASSERT_NE(movie, nullptr);
    }

    // Loads an animated GIF made by Pillow into the document, as the content page does.
    void LoadAnimation(int frames, int size, const char* delays, uint32_t minDelay = 1, uint32_t maxDelay = 500)
    {
        const std::string path = dir.File("source.gif");
        RunFixtures("gif " + path + " " + std::to_string(frames) + " " + std::to_string(size) + " " +
                    std::to_string(size) + " " + delays);
        g_animDoc.SetDelayLimits(minDelay, maxDelay, 50);
        ASSERT_TRUE(g_animDoc.Load(path, kAllowAll));
        ASSERT_TRUE(g_animDoc.BuildFrames());
        ASSERT_EQ(g_animDoc.GetFrameCount(), frames);
        g_strSourcePath = path;
        g_createNew = 0;
    }

    // Puts `frames` frames of size x size in a palette of 256 colours into the
    // document, each with `delay`. Noise draws every pixel at random, so no
    // coder can make it much smaller; otherwise diagonal bands under a square
    // that moves 4 pixels a frame: the LZW coder finds the bands, and
    // differencing the rows the square left alone.
    void MakeAnimation(int frames, int size, bool bNoise, uint32_t delay = 20)
    {
        while (g_animDoc.GetFrameCount() > 1)
            g_animDoc.DeleteFrame(0);
        g_animDoc.ShiftFrames(0, -1);
        g_animDoc.SetDelayLimits(1, 500, 50);
        uint32_t seed = 12345;
        const auto next = [&seed] {
            seed = seed * 1103515245u + 12345u;
            return uint8_t(seed >> 16);
        };
        RGBQUAD palette[256];
        for (RGBQUAD& c : palette)
            c = MakeRgbQuad(next(), next(), next());
        for (int k = 0; k < frames; ++k) {
            auto frame = std::make_unique<CRaster>(uint32_t(size), uint32_t(size), 8);
            frame->SetPalette(palette, 256);
            for (long y = 0; y < size; ++y)
                for (long x = 0; x < size; ++x) {
                    const bool bSquare = x >= 4 * k % (size - 8) && x < 4 * k % (size - 8) + 8 && y >= 20 && y < 28;
                    frame->SetPixelIndex(x, y, bNoise ? next() : bSquare ? 255 : uint8_t((x + y + (y / 8) * 37) % 250));
                }
            frame->SetTransIndex(-1);
            g_animDoc.m_frames[k] = frame.release();
            g_animDoc.m_nFrames = k + 1;
            g_animDoc.SetDelay(k, delay);
        }
        g_strSourcePath = dir.File("made.gif");
        g_createNew = 0;
    }

    // Runs events until the page's fitting has ended, at most 30 s.
    void WaitForFitting()
    {
        QElapsedTimer waited;
        waited.start();
        while (page->Fitting() && waited.elapsed() < 30000)
            Pump(5);
        ASSERT_FALSE(page->Fitting());
        Pump();
    }

    // Shows the editor as the frame does when a page routes to it.
    void Show()
    {
        frame->m_previous = frame->m_current;
        frame->m_current = kPageAnimEditor;
        frame->ShowCurrentPage();
        Pump();
    }

    void Command(const char* command, const std::string& args = "")
    {
        page->OnFSCommand(command, args);
        Pump();
    }

    std::string Var(const char* name) { return movie ? movie->GetVariable(name) : page->m_movie->GetVariable(name); }

    // The last position the page gave the duration cursor.
    std::string Cursor()
    {
        for (auto it = movie->calls.rbegin(); it != movie->calls.rend(); ++it)
            if (it->rfind("TSetProperty DurationCursor 0 ", 0) == 0)
                return it->substr(std::strlen("TSetProperty DurationCursor 0 "));
        return {};
    }

    // Runs events until the size meter shows a size, at most 10 s.
    std::string WaitForSize()
    {
        QElapsedTimer waited;
        waited.start();
        while ((Var("AnimBytes").empty() || page->findChild<CSizeMeterWorker*>()->Busy()) &&
               waited.elapsed() < 10000)
            Pump(5);
        return Var("AnimBytes");
    }

    ScratchDir dir;
    platform::MessageBoxRecorder boxes;
    std::unique_ptr<wizard_test::RecordingMovies> movies;
    std::unique_ptr<CDlgFrame> frame;
    CDlgWiz3* page = nullptr;
    RecordingMovie* movie = nullptr;
};

} // namespace

struct CursorCase {
    uint32_t minDelay, maxDelay;
    const char* slider;    // "duration" sent, or null to keep the frame's own delay
    uint32_t frameDelay;   // the frame's delay when no slider is sent
    uint32_t wantDelay;
    const char* wantDuration;
    const char* wantCursor; // after the next refresh
};

TEST_F(EditorPage, DurationSliderSetsTheDelayAndTheCursorFollowsIt)
{
    const CursorCase cases[] = {
        {10, 250, "60", 0, 130, "1.30", "193"},
        {0, 120, nullptr, 60, 60, "0.60", "193"},
        {50, 50, nullptr, 50, 50, "0.50", "133"},    // equal limits: the track's start
        {10, 500, nullptr, 500, 500, "5.00", "253"}, // the installer's limits: the end, not past it
        {0, 120, "0", 0, 50, "0.50", "183"},         // 0 is the default: shown as the frame has it
        {10, 5, "120", 0, 10, "0.10", "133"},        // crossed limits: the minimum wins
    };
    Start();
    LoadAnimation(3, 16, "20");
    Show();
    for (const CursorCase& c : cases) {
        SCOPED_TRACE(std::string("limits ") + std::to_string(c.minDelay) + ".." + std::to_string(c.maxDelay) +
                     (c.slider ? std::string(" slider ") + c.slider : std::string(" delay ") + std::to_string(c.frameDelay)));
        g_animDoc.SetDelayLimits(c.minDelay, c.maxDelay, 50);
        g_nCurrentFrame = 1;
        if (c.slider) {
            Command("duration", c.slider);
        } else {
            g_animDoc.GetFrame(1)->SetFrameDelay(c.frameDelay);
        }
        EXPECT_EQ(g_animDoc.GetDelay(1), c.wantDelay);
        if (c.slider) {
            EXPECT_EQ(Var("m_duration"), c.wantDuration) << "the delay the frame has";
        }
        page->RefreshEditor();
        EXPECT_EQ(Var("m_duration"), c.wantDuration);
        EXPECT_EQ(Cursor(), c.wantCursor);
    }
}

struct MoveCase {
    const char* command;
    int32_t from;
    int32_t wantSelection;
    std::vector<int> wantOrder; // original frame numbers, left to right
};

TEST_F(EditorPage, FrameButtonsMoveTheSelectionAndTheFrames)
{
    const MoveCase cases[] = {
        {"ButtonShiftRight", 2, 2, {0, 1, 3, 2, 4}}, // frame 3 of 5 changes place with frame 4
        {"ButtonShiftRight", 4, 4, {0, 1, 2, 3, 4}}, // the last has nowhere to go
        {"ButtonShiftLeft", 2, 2, {0, 2, 1, 3, 4}},
        {"ButtonShiftLeft", 0, 0, {0, 1, 2, 3, 4}},
        {"ButtonNext", 2, 3, {0, 1, 2, 3, 4}},
        {"ButtonNext", 4, 4, {0, 1, 2, 3, 4}},
        {"ButtonPrev", 2, 1, {0, 1, 2, 3, 4}},
        {"ButtonPrev", 0, 0, {0, 1, 2, 3, 4}},
        {"ButtonRewind", 3, 0, {0, 1, 2, 3, 4}},
        {"ButtonForward", 1, 4, {0, 1, 2, 3, 4}},
        {"ButtonDelete", 4, 3, {0, 1, 2, 3}},        // the last frame: the one before is selected
        {"ButtonDelete", 1, 1, {0, 2, 3, 4}},
        {"ButtonDelete", 5, 3, {0, 1, 2, 3}},        // a selection left one past the end
        {"ButtonPrev", 5, 3, {0, 1, 2, 3, 4}},
        {"NoSuchCommand", 2, 2, {0, 1, 2, 3, 4}},
    };
    Start();
    LoadAnimation(5, 16, "20");
    std::vector<CRaster*> original(g_animDoc.m_frames, g_animDoc.m_frames + 5);
    Show();
    for (const MoveCase& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " from index " + std::to_string(c.from));
        // The same five frames, in their own order, for every case.
        while (g_animDoc.GetFrameCount() < 5)
            g_animDoc.InsertFrame(g_animDoc.GetFrameCount(), new CRaster(*g_animDoc.GetFrame(0)));
        for (int i = 0; i < 5; ++i)
            original[size_t(i)] = g_animDoc.m_frames[i];
        // What the user sees before pressing (a selection past the end is
        // left as an earlier page may leave it).
        g_nCurrentFrame = c.from;
        if (c.from < 5)
            page->RefreshEditor();
        Command(c.command);
        EXPECT_EQ(g_nCurrentFrame, c.wantSelection);
        std::vector<int> order;
        for (int32_t i = 0; i < g_animDoc.GetFrameCount(); ++i)
            order.push_back(int(std::find(original.begin(), original.end(), g_animDoc.m_frames[i]) - original.begin()));
        EXPECT_EQ(order, c.wantOrder);
        if (std::string(c.command) == "NoSuchCommand")
            continue;
        const int32_t count = g_animDoc.GetFrameCount();
        const int32_t sel = c.wantSelection;
        EXPECT_EQ(Var("curFrm"), std::to_string(sel + 1));
        EXPECT_EQ(Var("AnimTot"), std::to_string(count));
        EXPECT_EQ(Var("prevFrm"), sel > 0 ? std::to_string(sel) : "");
        EXPECT_EQ(Var("nextFrm"), sel < count - 1 ? std::to_string(sel + 2) : "");
    }
}

TEST_F(EditorPage, TheStripShowsTheSelectedFrameBetweenItsNeighboursOrBlack)
{
    Start();
    LoadAnimation(4, 32, "20");
    Show();
    const struct {
        int32_t selection;
        int previous, selected, next; // frame shown in each square, -1 black
        int32_t frames;               // deleted down to this many first
    } cases[] = {{0, -1, 0, 1, 4}, {2, 1, 2, 3, 4}, {3, 2, 3, -1, 4}, {0, -1, 0, -1, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE("selection " + std::to_string(c.selection) + " of " + std::to_string(c.frames));
        while (g_animDoc.GetFrameCount() > c.frames)
            Command("ButtonDelete");
        if (c.frames == 1) {
            Command("ButtonDelete");
            EXPECT_EQ(g_animDoc.GetFrameCount(), 1) << "the only frame stays";
            EXPECT_EQ(Var("prevFrm"), "");
            EXPECT_EQ(Var("nextFrm"), "");
        }
        g_nCurrentFrame = c.selection;
        page->m_surface->Clear();
        page->OnPaint();
        const std::pair<int, int> squares[] = {
            {CDlgWiz3::kPreviousLeft, c.previous}, {CDlgWiz3::kSelectedLeft, c.selected}, {CDlgWiz3::kNextLeft, c.next}};
        for (const auto& [left, shown] : squares) {
            const uint32_t want = shown < 0 ? 0xFF000000u : 0xFF000000u | FrameColour(shown, 0, 0);
            EXPECT_EQ(page->m_surface->Pixel(left + 1, CDlgWiz3::kStripTop + 1), want) << "square at " << left;
        }
    }
}

TEST_F(EditorPage, InsertAndModifyLeaveForTheirPagesWithTheRightSelection)
{
    const struct {
        const char* command;
        const char* args;
        int32_t from;
        int32_t wantSelection;
        int wantPage;
        int32_t wantRoute;
    } cases[] = {
        {"ButtonInsert", "1", 1, 2, kPageContent, 1},       // after frame 2: the new one becomes frame 3
        {"ButtonInsert", "0", 1, 1, kPageContent, 1},       // before it
        {"ButtonInsert", "1", 2, 3, kPageContent, 1},       // after the last: at the end
        {"ButtonModify", "", 2, 2, kPagePictureEditor, 2},
    };
    Start();
    LoadAnimation(3, 16, "20");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + c.args + " from " + std::to_string(c.from));
        Show();
        g_picture.SetImage(new CRaster(1, 1, 24));
        g_nCurrentFrame = c.from;
        Command(c.command, c.args);
        EXPECT_EQ(g_nCurrentFrame, c.wantSelection);
        EXPECT_EQ(frame->m_current, c.wantPage);
        EXPECT_EQ(g_pageRoute, c.wantRoute);
        if (std::string(c.command) == "ButtonModify") {
            const CRaster* copy = g_picture.GetImage();
            const CRaster* original = g_animDoc.GetFrame(c.from);
            ASSERT_NE(copy, original) << "the picture editor works on a copy";
            ASSERT_EQ(copy->GetSize(), original->GetSize());
            EXPECT_EQ(std::memcmp(copy->GetDIB(), original->GetDIB(), copy->GetSize()), 0);
        }
        g_pageRoute = 0;
    }
}

TEST_F(EditorPage, PlaybackShowsADelayOfSevenForTwoTicksAndDrawsEachFrame)
{
    Start();
    LoadAnimation(3, 128, "7");
    Show();
    ASSERT_EQ(g_animDoc.GetDelay(0), 7u);
    // The preview starts at frame 0, already expired: the first tick moves on.
    const char* wantAnimCur[] = {"2", "2", "3", "3", "1", "1", "2"};
    for (const char* want : wantAnimCur) {
        page->OnTimer(CDlgWiz3::kPlaybackTimer);
        Pump();
        EXPECT_EQ(Var("AnimCur"), want);
        const int32_t shown = std::stoi(want) - 1;
        EXPECT_EQ(page->m_surface->Pixel(CDlgWiz3::kPreviewLeft + 2, CDlgWiz3::kPreviewTop + 2),
                  0xFF000000u | FrameColour(shown, 2, 2));
    }

    // Stopped, hidden or a new animation: the preview stays where it is.
    Command("ButtonStopAnim");
    EXPECT_EQ(Var("AnimPlaying"), "0");
    for (int i = 0; i < 4; ++i)
        page->OnTimer(CDlgWiz3::kPlaybackTimer);
    EXPECT_EQ(Var("AnimCur"), "2");
    Command("ButtonPlayAnim");
    EXPECT_EQ(Var("AnimPlaying"), "1");
    page->OnTimer(CDlgWiz3::kPlaybackTimer);
    EXPECT_EQ(Var("AnimCur"), "2") << "frame 2 had been on show for one tick of its two";
    page->OnTimer(CDlgWiz3::kPlaybackTimer);
    EXPECT_EQ(Var("AnimCur"), "3");
    for (int i = 0; i < 3; ++i)
        page->OnTimer(999); // not a timer of the page
    page->OnTimer(CDlgWiz3::kPlaybackTimer);
    EXPECT_EQ(Var("AnimCur"), "3");
}

struct LimitCase {
    const char* name;
    int64_t limitOverLength; // the limit minus the written length; or...
    bool bHugeLimit;         // ...the largest limit the store can hold
    bool wantNext;
};

TEST_F(EditorPage, NextGoesOnOnlyWhenTheFileIsSmallerThanTheLimit)
{
    // The length Next writes for this animation, with the installer's limit.
    Start();
    LoadAnimation(4, 64, "12,30");
    Show();
    Command("ChangeStep", "4");
    ASSERT_EQ(frame->m_current, kPageSave) << "the installer's limit holds this animation";
    const std::string path = g_tempGifPath;
    ASSERT_EQ(path, TemporaryGifPath(StoreText("Installation Path"), "holiday"));
    const int64_t length = int64_t(std::filesystem::file_size(path));

    const LimitCase cases[] = {
        {"equal to the length", 0, false, false},
        {"one byte more", 1, false, true},
        {"above 2 GiB", 0, true, true}, // read as unsigned, never negative
    };
    for (const LimitCase& c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t limit = c.bHugeLimit ? 0xFFFFFFFFu : uint32_t(length + c.limitOverLength);
        SetStoreValue("AnimMaxSize", Dword(limit));
        Start();
        Show();
        std::filesystem::remove(path);
        boxes.ClearBoxes();
        Command("ChangeStep", "4");
        if (c.wantNext) {
            EXPECT_EQ(frame->m_current, kPageSave);
            EXPECT_TRUE(boxes.Boxes().empty());
            EXPECT_EQ(g_tempGifPath, path);
            // Pillow reads back every frame with its delay.
            EXPECT_EQ(RunFixtures("info " + path), "4 64 64 120 300 120 300\n");
        } else {
            EXPECT_EQ(frame->m_current, kPageAnimEditor);
            ASSERT_EQ(boxes.Boxes().size(), 1u);
            EXPECT_EQ(boxes.Boxes()[0].text, FillMessage(g_messages.MsgAnimationTooBig, std::to_string(length),
                                                         std::to_string(limit)));
            EXPECT_EQ(boxes.Boxes()[0].caption, g_messages.TitleCreateAnimation);
            EXPECT_EQ(boxes.Boxes()[0].icon, platform::BoxIcon::Error);
            EXPECT_EQ(boxes.Boxes()[0].owner, static_cast<QWidget*>(frame.get()));
            EXPECT_FALSE(std::filesystem::exists(path)) << "a file too big for the phone is not kept";
            EXPECT_EQ(g_tempGifPath, "");
            EXPECT_EQ(Var("AnimFits"), "0");
            EXPECT_EQ(Var("AnimBytes"), std::to_string(length));
        }
        SetStoreValue("AnimMaxSize", Dword(102400));
    }
}

TEST_F(EditorPage, NextThatCannotWriteSaysWhichFileAndStays)
{
    SetStoreValue("Installation Path", "\"" + dir.File("no-such-folder") + "/\"");
    Start();
    LoadAnimation(2, 16, "20");
    Show();
    page->OnDefaultAction(); // Enter
    EXPECT_EQ(frame->m_current, kPageAnimEditor);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Invalid picture : " + dir.File("no-such-folder") + "/temp/holiday.gif");
    wizard_test::WriteSettings("EN");
}

TEST_F(EditorPage, ASecondNewAnimationWritesNothingOfTheFirst)
{
    Start();
    LoadAnimation(3, 32, "20");
    Show();
    Command("ChangeStep", "4");
    ASSERT_EQ(frame->m_current, kPageSave);
    const std::string path = page->TemporaryPath();
    ASSERT_TRUE(std::filesystem::exists(path));
    std::filesystem::remove(path);
    g_tempGifPath.clear();

    // Back at the start page, the user asks for a new animation.
    g_createNew = 1;
    Show();
    EXPECT_EQ(movie->frame, 4) << "the movie invites to add a first picture";
    boxes.ClearBoxes();
    movie->calls.clear();
    Command("ChangeStep", "4");
    EXPECT_EQ(frame->m_current, kPageAnimEditor);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Invalid picture : " + path);
    EXPECT_FALSE(std::filesystem::exists(path)) << "the earlier animation's frame was written";

    // Nor can the frame left over be changed, modified or painted.
    CRaster* before = g_animDoc.GetFrame(0);
    for (const char* command : {"ButtonModify", "ButtonDelete", "ButtonShiftRight", "ButtonForward"})
        Command(command);
    Command("duration", "100");
    EXPECT_EQ(frame->m_current, kPageAnimEditor);
    EXPECT_EQ(g_animDoc.GetFrame(0), before);
    EXPECT_TRUE(movie->calls.empty()) << movie->calls.front();
    page->m_surface->Clear();
    page->OnPaint();
    EXPECT_EQ(page->m_surface->Pixel(CDlgWiz3::kSelectedLeft + 5, CDlgWiz3::kStripTop + 5), 0u);

    // The first picture of the new animation is chosen from here.
    Command("ButtonInsert", "0");
    EXPECT_EQ(frame->m_current, kPageContent);
    EXPECT_EQ(g_pageRoute, 0) << "a new animation's first picture becomes the animation";
}

TEST_F(EditorPage, EachShowingHasOneOverlayOverThePreview)
{
    Start();
    LoadAnimation(2, 128, "20");
    for (int showing = 0; showing < 3; ++showing) {
        Show();
        frame->m_previous = kPageAnimEditor;
        frame->m_current = kPageSave;
        frame->ShowCurrentPage();
    }
    Show();
    const QList<CDlgMask*> overlays = page->findChildren<CDlgMask*>();
    ASSERT_EQ(overlays.size(), 1);
    EXPECT_TRUE(overlays[0]->isVisible());
    EXPECT_EQ(overlays[0]->geometry(), QRect(401, 155, 128, 128));
    frame->m_previous = kPageAnimEditor;
    frame->m_current = kPageSave;
    frame->ShowCurrentPage();
    EXPECT_FALSE(overlays[0]->isVisible());
}

TEST_F(EditorPage, KeysMoveDeleteAndPlay)
{
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int32_t wantSelection;
        int32_t wantCount;
        bool wantPlaying;
    } cases[] = {
        {Qt::Key_Right, Qt::NoModifier, 2, 4, true},
        {Qt::Key_Left, Qt::NoModifier, 0, 4, true},
        {Qt::Key_End, Qt::NoModifier, 3, 4, true},
        {Qt::Key_Home, Qt::NoModifier, 0, 4, true},
        {Qt::Key_Delete, Qt::NoModifier, 1, 3, true},
        {Qt::Key_Space, Qt::NoModifier, 1, 4, false},
        {Qt::Key_Right, Qt::ControlModifier, 1, 4, true}, // the frame moves, the selection stays
    };
    Start();
    LoadAnimation(4, 16, "20");
    Show();
    for (const auto& c : cases) {
        SCOPED_TRACE(QTest::toString(c.key));
        while (g_animDoc.GetFrameCount() < 4)
            g_animDoc.InsertFrame(0, new CRaster(*g_animDoc.GetFrame(0)));
        CRaster* selected = g_animDoc.GetFrame(1);
        g_nCurrentFrame = 1;
        page->m_bPlaying = true;
        QTest::keyClick(page, c.key, c.modifiers);
        Pump();
        EXPECT_EQ(g_nCurrentFrame, c.wantSelection);
        EXPECT_EQ(g_animDoc.GetFrameCount(), c.wantCount);
        EXPECT_EQ(page->m_bPlaying, c.wantPlaying);
        if (c.modifiers == Qt::ControlModifier) {
            EXPECT_EQ(g_animDoc.GetFrame(2), selected);
        }
    }
    QTest::keyClick(page, Qt::Key_Space);
    EXPECT_EQ(Var("AnimPlaying"), "0");
    QTest::keyClick(page, Qt::Key_Space);
    EXPECT_TRUE(page->m_bPlaying) << "space plays again";
    EXPECT_EQ(Var("AnimPlaying"), "1");
}

TEST_F(EditorPage, TheSizeMeterShowsWhatNextWritesAndIgnoresPlayback)
{
    Start();
    LoadAnimation(6, 64, "20");
    Show();
    auto* worker = page->findChild<CSizeMeterWorker*>();
    ASSERT_NE(worker, nullptr);
    int measured = 0;
    QObject::connect(worker, &CSizeMeterWorker::Measured, [&measured] { ++measured; });
    const std::string shown = WaitForSize();
    EXPECT_EQ(Var("AnimMaxBytes"), "102400");

    // What the meter says is what Next writes.
    const std::string path = page->TemporaryPath();
    ASSERT_EQ(SaveAndCheckAnimation(g_animDoc, path, 1 << 30, nullptr), AnimationCheck::Fits);
    EXPECT_EQ(shown, std::to_string(std::filesystem::file_size(path)));
    const SizeMeterReading reading = ReadSizeMeter(std::stoll(shown), 102400);
    EXPECT_EQ(Var("AnimFill"), std::to_string(reading.percent));
    EXPECT_EQ(Var("AnimFits"), "1");
    const int afterShow = measured;

    // Playback changes nothing in the file: no measuring.
    for (int i = 0; i < 40; ++i)
        page->OnTimer(CDlgWiz3::kPlaybackTimer);
    Pump(50);
    EXPECT_EQ(measured, afterShow);

    // A deletion is measured once the user stops: a burst of changes gives one answer.
    page->OnFSCommand("ButtonDelete", "");
    for (int v = 0; v < 30; ++v)
        page->OnFSCommand("duration", std::to_string(v));
    const std::string afterDelete = WaitForSize();
    Pump(50);
    EXPECT_EQ(measured, afterShow + 1);
    ASSERT_EQ(SaveAndCheckAnimation(g_animDoc, path, 1 << 30, nullptr), AnimationCheck::Fits);
    EXPECT_EQ(afterDelete, std::to_string(std::filesystem::file_size(path)));
}

TEST_F(EditorPage, TheMoviesMeterShowsTheSizeInTheLanguageAndTurnsRedOverTheLimit)
{
    const struct {
        const char* language;
        uint32_t limit;
        const char* wantLabel;
        const char* wantValue; // %1 the size in KB, as the language writes 12.3
    } cases[] = {
        {"EN", 102400, "File size", "%1 of 100.0 KB"},
        {"FR", 102400, "Taille du fichier", "%1 sur 100,0 Ko"},
        {"CHS", 102400, "文件大小", "%1 / 100.0 KB"},
        {"EN", 1024, "Too big for the phone", "%1 of 1.0 KB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.language) + " limit " + std::to_string(c.limit));
        g_messages = BuildMessages(c.language);
        SetStoreValue("AnimMaxSize", Dword(c.limit));
        Start(false);
        LoadAnimation(5, 64, "20");
        Show();
        QQuickItem* root = page->m_movie->rootObject();
        ASSERT_NE(root, nullptr) << "the movie did not load";
        const int64_t bytes = std::stoll(WaitForSize());
        const auto text = [root](const char* name) {
            QQuickItem* item = root->findChild<QQuickItem*>(QString::fromLatin1(name));
            return item ? item->property("text").toString().toStdString() : std::string("(none)");
        };
        const bool bComma = std::string(c.language) == "FR";
        QString kb = QString::number(double(bytes) / 1024, 'f', 1);
        if (bComma)
            kb.replace('.', ',');
        EXPECT_EQ(text("sizeMeterValue"), QString::fromUtf8(c.wantValue).arg(kb).toStdString());
        EXPECT_EQ(text("sizeMeterLabel"), c.wantLabel);

        // Space stops the preview and the movie's stop button shows it.
        QQuickItem* stop = root->findChild<QQuickItem*>(QStringLiteral("ButtonStopAnim"));
        ASSERT_NE(stop, nullptr);
        EXPECT_FALSE(stop->property("checked").toBool());
        QTest::keyClick(page, Qt::Key_Space);
        EXPECT_TRUE(stop->property("checked").toBool());
    }
    g_messages = BuildMessages("EN");
    SetStoreValue("AnimMaxSize", Dword(102400));
}

TEST_F(EditorPage, AnOpenedAnimationWithoutFramesHasNoMeterAndWritesNothing)
{
    Start();
    ASSERT_EQ(g_animDoc.GetFrameCount(), 0);
    std::filesystem::remove(page->TemporaryPath());
    Show();
    EXPECT_EQ(Var("AnimMaxBytes"), "") << "no meter stuck at measuring";
    Pump(50);
    EXPECT_EQ(Var("AnimBytes"), "");
    Command("ChangeStep", "4");
    EXPECT_EQ(frame->m_current, kPageAnimEditor);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, "Invalid picture : " + page->TemporaryPath());
    EXPECT_FALSE(std::filesystem::exists(page->TemporaryPath()));
}

TEST_F(EditorPage, PreviousExitAndReduceLeaveTheEditorAsTheFrameSays)
{
    const struct {
        const char* command;
        const char* args;
        int32_t createNew;
        platform::BoxResult answer; // to the exit question
        int wantPage;        // -1: the wizard ended
        bool wantMinimised;
        bool wantTempKept;
    } cases[] = {
        {"ChangeStep", "2", 0, platform::BoxResult::Ok, kPagePictureEditor, false, true},
        {"ChangeStep", "2", 1, platform::BoxResult::Ok, kPageStart, false, true},
        {"reduce", "", 0, platform::BoxResult::Ok, kPageAnimEditor, true, true},
        {"exit", "", 0, platform::BoxResult::Cancel, kPageAnimEditor, false, true}, // asked, and kept
        {"exit", "", 0, platform::BoxResult::Ok, -1, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.command) + " " + c.args + " new " + std::to_string(c.createNew));
        Start();
        LoadAnimation(2, 16, "20");
        Show();
        Command("ChangeStep", "4");
        ASSERT_EQ(frame->m_current, kPageSave);
        const std::string temp = g_tempGifPath;
        Show();
        g_createNew = c.createNew;
        boxes.ClearBoxes();
        const bool bExit = std::string(c.command) == "exit";
        if (bExit)
            boxes.QueueAnswer(c.answer);
        Command(c.command, c.args);
        if (c.wantPage >= 0) {
            EXPECT_EQ(frame->m_current, c.wantPage);
            EXPECT_EQ(frame->result(), 0);
        } else {
            EXPECT_EQ(frame->result(), QDialog::Accepted);
        }
        EXPECT_EQ(frame->isMinimized(), c.wantMinimised);
        EXPECT_EQ(std::filesystem::exists(temp), c.wantTempKept);
        EXPECT_EQ(boxes.Boxes().size(), bExit ? 1u : 0u);
        if (std::string(c.command) == "ChangeStep") {
            EXPECT_TRUE(page->findChildren<CDlgMask*>().isEmpty()) << "the overlay goes with the page";
        }
        g_createNew = 0;
    }
}

TEST_F(EditorPage, MeterAndNextUseTheCoderTheCompressionSettingChooses)
{
    std::set<int64_t> sizes;
    for (uint32_t setting : {0u, 1u, 2u}) {
        SCOPED_TRACE("AnimCompression " + std::to_string(setting));
        SetStoreValue("AnimCompression", Dword(setting));
        Start();
        MakeAnimation(8, 64, false);
        Show();
        const std::string shown = WaitForSize();
        EXPECT_EQ(shown, std::to_string(AnimationFileBytes(g_animDoc, GifWriteOptionsForCompression(setting))));
        Command("ChangeStep", "4");
        ASSERT_EQ(frame->m_current, kPageSave);
        EXPECT_EQ(std::to_string(std::filesystem::file_size(g_tempGifPath)), shown) << "the file Next wrote";
        sizes.insert(std::stoll(shown));
    }
    EXPECT_EQ(sizes.size(), 3u) << "each coder makes a file of its own size";
    SetStoreValue("AnimCompression", Dword(0));
}

struct FitCase {
    const char* name;
    int frames, size;
    bool bNoise;
    bool bLimitJustUnderTheFile; // else the installer's limit
    bool wantFewerColours, wantFewerFrames;
};

TEST_F(EditorPage, MakeItFitShrinksTheAnimationAndNextWritesWhatTheMeterShows)
{
    const FitCase cases[] = {
        // One byte too big as it is: a stronger coder is enough.
        {"coder", 30, 128, false, true, false, false},
        // Noise: fewer colours, and then fewer frames too.
        {"colours and frames", 12, 128, true, false, true, true},
    };
    for (const FitCase& c : cases) {
        SCOPED_TRACE(c.name);
        MakeAnimation(c.frames, c.size, c.bNoise, 30);
        const int64_t asItIs = AnimationFileBytes(g_animDoc);
        const uint32_t limit = c.bLimitJustUnderTheFile ? uint32_t(asItIs) : 102400;
        SetStoreValue("AnimMaxSize", Dword(limit));
        Start();
        Show();
        EXPECT_EQ(WaitForSize(), std::to_string(asItIs));
        ASSERT_EQ(Var("AnimFits"), "0");
        g_nCurrentFrame = c.frames - 1;
        page->m_playback.index = c.frames - 1;
        page->RefreshEditor();

        page->OnFSCommand("ButtonMakeFit", "");
        EXPECT_TRUE(page->Fitting());
        EXPECT_EQ(Var("AnimFitting"), "1") << "the movie shows that it works";
        WaitForFitting();
        EXPECT_EQ(Var("AnimFitting"), "0");

        const int32_t count = g_animDoc.GetFrameCount();
        EXPECT_EQ(count < c.frames, c.wantFewerFrames);
        EXPECT_EQ(Var("AnimTot"), std::to_string(count));
        EXPECT_EQ(g_nCurrentFrame, count - 1) << "the selection stays inside the frames";
        EXPECT_EQ(Var("curFrm"), std::to_string(count));
        EXPECT_EQ(Var("AnimCur"), std::to_string(count)) << "the preview too";
        // What the movie is told was done is what the document shows.
        std::set<uint32_t> colours;
        for (int32_t i = 0; i < count; ++i)
            for (long y = 0; y < c.size; ++y)
                for (long x = 0; x < c.size; ++x)
                    colours.insert(FrameColour(i, x, y));
        EXPECT_EQ(Var("AnimFitDone"), "1");
        if (c.wantFewerColours) {
            ASSERT_NE(Var("AnimFitColours"), "");
            EXPECT_LE(colours.size(), std::stoul(Var("AnimFitColours")));
        } else {
            EXPECT_EQ(Var("AnimFitColours"), "");
            EXPECT_GT(colours.size(), 128u);
        }
        EXPECT_EQ(Var("AnimFitKept"), c.wantFewerFrames ? std::to_string(count) : "");
        EXPECT_EQ(Var("AnimFitOf"), c.wantFewerFrames ? std::to_string(c.frames) : "");

        // The meter has the new size, and Next writes exactly that file.
        const std::string shown = Var("AnimBytes");
        ASSERT_FALSE(shown.empty());
        EXPECT_LT(std::stoll(shown), int64_t(limit));
        EXPECT_EQ(Var("AnimFits"), "1");
        boxes.ClearBoxes();
        Command("ChangeStep", "4");
        ASSERT_EQ(frame->m_current, kPageSave);
        EXPECT_TRUE(boxes.Boxes().empty());
        EXPECT_EQ(std::to_string(std::filesystem::file_size(g_tempGifPath)), shown);
        // Pillow reads every frame, and the animation plays as long as before.
        std::istringstream info(RunFixtures("info " + g_tempGifPath));
        int frames = 0, w = 0, h = 0;
        info >> frames >> w >> h;
        EXPECT_EQ(frames, count);
        EXPECT_EQ(w, c.size);
        int total = 0;
        for (int ms = 0; info >> ms;)
            total += ms;
        EXPECT_EQ(total, c.frames * 300);
    }
    SetStoreValue("AnimMaxSize", Dword(102400));
}

TEST_F(EditorPage, CommandsThatWouldChangeTheAnimationWaitForTheFittingToEnd)
{
    MakeAnimation(12, 128, true);
    Start();
    Show();
    WaitForSize();
    g_nCurrentFrame = 5;
    page->RefreshEditor();
    const std::vector<CRaster*> before(g_animDoc.m_frames, g_animDoc.m_frames + 12);

    // No events run until the end: the fitting's result cannot come meanwhile.
    page->OnFSCommand("ButtonMakeFit", "");
    ASSERT_TRUE(page->Fitting());
    const std::pair<const char*, const char*> ignored[] = {
        {"ButtonDelete", ""},      {"ButtonShiftLeft", ""}, {"ButtonShiftRight", ""}, {"duration", "100"},
        {"ButtonInsert", "1"},     {"ButtonModify", ""},    {"ChangeStep", "4"},      {"ChangeStep", "2"},
        {"ButtonNext", ""},        {"ButtonRewind", ""},    {"ButtonMakeFit", ""},
    };
    for (const auto& [command, args] : ignored)
        page->OnFSCommand(command, args);
    page->OnDefaultAction(); // Enter
    EXPECT_EQ(std::vector<CRaster*>(g_animDoc.m_frames, g_animDoc.m_frames + 12), before);
    EXPECT_EQ(g_animDoc.GetDelay(5), 20u) << "the slider";
    EXPECT_EQ(g_nCurrentFrame, 5);
    EXPECT_EQ(g_tempGifPath, "") << "nothing written";
    // The preview may still be stopped.
    page->OnFSCommand("ButtonStopAnim", "");
    EXPECT_FALSE(page->m_bPlaying);

    WaitForFitting();
    EXPECT_EQ(frame->m_current, kPageAnimEditor) << "no page was asked for meanwhile";
    EXPECT_TRUE(boxes.Boxes().empty());
    EXPECT_EQ(Var("AnimFits"), "1");
    // Afterwards the editor answers again.
    const int32_t count = g_animDoc.GetFrameCount();
    Command("ButtonDelete");
    EXPECT_EQ(g_animDoc.GetFrameCount(), count - 1);
    EXPECT_EQ(Var("AnimFitDone"), "") << "after a change the report no longer tells the whole story";
}

TEST_F(EditorPage, AnAnimationThatCannotFitSaysHowSmallItCouldGetAndStaysAsItWas)
{
    const uint32_t limit = 1000; // one noisy frame in 16 colours takes several kilobytes
    SetStoreValue("AnimMaxSize", Dword(limit));
    MakeAnimation(3, 128, true);
    Start();
    Show();
    const int64_t asItIs = std::stoll(WaitForSize());
    const std::vector<CRaster*> before(g_animDoc.m_frames, g_animDoc.m_frames + 3);

    page->OnFSCommand("ButtonMakeFit", "");
    WaitForFitting();
    EXPECT_EQ(std::vector<CRaster*>(g_animDoc.m_frames, g_animDoc.m_frames + 3), before);
    EXPECT_EQ(g_animDoc.GetFrameCount(), 3);
    EXPECT_FALSE(page->m_writeOptions.bLzw) << "the setting's coder stays";
    EXPECT_EQ(Var("AnimFitDone"), "");
    EXPECT_EQ(Var("AnimBytes"), std::to_string(asItIs));
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    const std::string text = boxes.Boxes()[0].text;
    const std::string head = g_messages.MsgAnimationTooBig.substr(0, g_messages.MsgAnimationTooBig.find("%1%"));
    ASSERT_EQ(text.rfind(head, 0), 0u) << text;
    const int64_t smallest = std::stoll(text.substr(head.size()));
    EXPECT_EQ(text, FillMessage(g_messages.MsgAnimationTooBig, std::to_string(smallest), std::to_string(limit)));
    EXPECT_GE(smallest, int64_t(limit));
    EXPECT_LT(smallest, asItIs) << "the box names the smallest file tried, not the file as it is";
    EXPECT_EQ(boxes.Boxes()[0].owner, static_cast<QWidget*>(frame.get()));

    // Next still refuses with the size of the file as it is.
    boxes.ClearBoxes();
    Command("ChangeStep", "4");
    EXPECT_EQ(frame->m_current, kPageAnimEditor);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text,
              FillMessage(g_messages.MsgAnimationTooBig, std::to_string(asItIs), std::to_string(limit)));
    SetStoreValue("AnimMaxSize", Dword(102400));
}

TEST_F(EditorPage, AFittedCoderStaysWithTheAnimationUntilANewOneArrives)
{
    const struct {
        const char* name;
        int previous;   // the page the editor comes back from
        int32_t route;  // g_pageRoute as that page left it
        bool wantKept;
    } cases[] = {
        {"back from the save page", kPageSave, 0, true},
        {"a picture inserted", kPagePictureEditor, 1, true},
        {"a frame modified", kPagePictureEditor, 2, true},
        {"the animation made again from its source", kPagePictureEditor, 0, false},
    };
    MakeAnimation(30, 128, false);
    const int64_t asItIs = AnimationFileBytes(g_animDoc);
    SetStoreValue("AnimMaxSize", Dword(uint32_t(asItIs)));
    Start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        page->m_writeOptions = GifWriteOptions{};
        Show();
        WaitForSize();
        page->OnFSCommand("ButtonMakeFit", "");
        WaitForFitting();
        ASSERT_TRUE(page->m_writeOptions.bLzw);
        const GifWriteOptions fitted = page->m_writeOptions;
        ASSERT_EQ(Var("AnimFits"), "1");

        frame->m_previous = kPageAnimEditor;
        frame->m_current = c.previous;
        frame->ShowCurrentPage();
        g_pageRoute = c.route;
        frame->m_previous = c.previous;
        frame->m_current = kPageAnimEditor;
        frame->ShowCurrentPage();
        const std::string shown = WaitForSize();
        const GifWriteOptions want = c.wantKept ? fitted : GifWriteOptions{};
        EXPECT_EQ(shown, std::to_string(AnimationFileBytes(g_animDoc, want)));
        EXPECT_EQ(Var("AnimFits"), c.wantKept ? "1" : "0");
        g_pageRoute = 0;
    }
    SetStoreValue("AnimMaxSize", Dword(102400));
}

TEST_F(EditorPage, TheMoviesMakeItFitButtonFollowsTheMeter)
{
    Start(false);
    MakeAnimation(12, 128, true);
    // The measurement's answer is queued: before any event runs the page is
    // still measuring, however fast the measuring thread is.
    frame->m_previous = frame->m_current;
    frame->m_current = kPageAnimEditor;
    frame->ShowCurrentPage();
    QQuickItem* root = page->m_movie->rootObject();
    ASSERT_NE(root, nullptr) << "the movie did not load";
    QQuickItem* button = root->findChild<QQuickItem*>(QStringLiteral("ButtonMakeFit"));
    QQuickItem* report = root->findChild<QQuickItem*>(QStringLiteral("fitReport"));
    ASSERT_TRUE(button && report);
    EXPECT_FALSE(button->isVisible()) << "not while the size is being measured";
    WaitForSize();
    EXPECT_TRUE(button->isVisible());
    EXPECT_FALSE(report->isVisible());

    page->OnFSCommand("ButtonMakeFit", "");
    WaitForFitting();
    EXPECT_FALSE(button->isVisible()) << "the animation fits now";
    EXPECT_EQ(report->property("text").toString().toStdString(),
              "Reduced to 16 colours and " + std::to_string(g_animDoc.GetFrameCount()) + " of 12 frames");
}
