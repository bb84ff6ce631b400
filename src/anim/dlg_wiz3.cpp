#include "dlg_wiz3.h"

#include "anim_doc.h"
#include "anim_size.h"
#include "dlg_frame.h"
#include "dlg_mask.h"
#include "drawing_surface.h"
#include "edit_picture.h"
#include "edit_result.h"
#include "fit_animation.h"
#include "fit_worker.h"
#include "message_box.h"
#include "messages.h"
#include "movie_ctrl.h"
#include "route_tables.h"
#include "settings.h"
#include "shell_file_op.h"
#include "size_meter_worker.h"
#include "wizard_globals.h"

#include <QKeyEvent>
#include <QTimerEvent>

namespace {

// The movie's root frames: a new animation still waiting for its first
// picture, and the editor.
constexpr int kMovieFrameEmpty = 4;
constexpr int kMovieFrameEditor = 5;

// Shown when the system gives no timer; the page stays usable without
// playback or repaint.
constexpr const char* kTimerNotAvailable = "Timer not available";

// The keys of the editor, as the movie's buttons they stand for.
struct KeyCommand {
    int key;
    Qt::KeyboardModifiers modifiers;
    const char* command;
};
const KeyCommand kKeyCommands[] = {
    {Qt::Key_Left, Qt::NoModifier, "ButtonPrev"},
    {Qt::Key_Right, Qt::NoModifier, "ButtonNext"},
    {Qt::Key_Home, Qt::NoModifier, "ButtonRewind"},
    {Qt::Key_End, Qt::NoModifier, "ButtonForward"},
    {Qt::Key_Left, Qt::ControlModifier, "ButtonShiftLeft"},
    {Qt::Key_Right, Qt::ControlModifier, "ButtonShiftRight"},
    {Qt::Key_Delete, Qt::NoModifier, "ButtonDelete"},
};

// What the page still answers while a fitting runs: nothing that changes the
// animation or leaves the page.
bool AnsweredWhileFitting(const std::string& command)
{
    return command == "exit" || command == "reduce" || command == "ButtonStopAnim" || command == "ButtonPlayAnim";
}

} // namespace

CDlgWiz3::CDlgWiz3(CDlgFrame* pFrame)
    : CWizPage(pFrame, 2), m_meter(new CSizeMeterWorker(this)), m_fitter(new CFitWorker(this))
{
    g_nCurrentFrame = 0;
    connect(m_meter, &CSizeMeterWorker::Measured, this, [this](qint64 bytes) { ShowSize(bytes); });
    connect(m_fitter, &CFitWorker::Finished, this, &CDlgWiz3::FitDone);
}

CDlgWiz3::~CDlgWiz3()
{
    // The document outlives the page: it must not keep drawing on this surface.
    if (g_animDoc.GetOwner() == this) {
        g_animDoc.SetOwner(nullptr);
        g_animDoc.SetSurface(nullptr);
    }
}

bool CDlgWiz3::OnInitDialog()
{
    CWizPage::OnInitDialog();
    m_pushed.clear();
    SetUpPage("Plendix.swf?frm=3");
    m_strInstallPath = ReadWizardString("Installation Path");
    m_nMaxSize = ReadWizardDword("AnimMaxSize");
    m_writeOptions = GifWriteOptionsForCompression(ReadOptionalUserDword("AnimCompression"));
    StartTimer(kPlaybackTimer, m_nTimerMs);
    StartTimer(kRepaintTimer, kRepaintMs);
    return true;
}

void CDlgWiz3::StartTimer(int nIdEvent, int ms)
{
    const int id = startTimer(ms);
    if (id == 0) {
        ShowError(kTimerNotAvailable);
        return;
    }
    m_timers[id] = nIdEvent;
}

void CDlgWiz3::StopTimers()
{
    for (const auto& [id, ours] : m_timers)
        killTimer(id);
    m_timers.clear();
}

void CDlgWiz3::timerEvent(QTimerEvent* event)
{
    const auto it = m_timers.find(event->timerId());
    if (it == m_timers.end()) {
        CWizPage::timerEvent(event);
        return;
    }
    OnTimer(it->second);
}

int32_t CDlgWiz3::EditorFrameCount() const
{
    return g_createNew != 0 ? 0 : g_animDoc.GetFrameCount();
}

std::string CDlgWiz3::TemporaryPath() const
{
    return TemporaryGifPath(m_strInstallPath, g_strAnimName);
}

void CDlgWiz3::SetVariable(const char* name, const std::string& value)
{
    // Every variable set makes the movie look at all its texts again; the
    // playback ticks mostly push what the movie already shows.
    const auto [it, bNew] = m_pushed.try_emplace(name, value);
    if (!bNew) {
        if (it->second == value)
            return;
        it->second = value;
    }
    m_movie->SetVariable(name, value);
}

void CDlgWiz3::ShowError(const std::string& text)
{
    platform::ShowMessageBox(m_pFrame, text, Messages().TitleCreateAnimation, platform::BoxIcon::Error,
                             platform::BoxButtons::Ok);
}

void CDlgWiz3::OnShowWindow(bool bShow)
{
    if (!bShow) {
        if (m_pOverlay)
            m_pOverlay->hide();
        m_bShown = false;
        m_meter->Cancel();
        return;
    }

    if (NewAnimationArrived())
        m_writeOptions = GifWriteOptionsForCompression(ReadOptionalUserDword("AnimCompression"));
    if (g_createNew != 0) {
        // A new animation shows only the invitation to add its first picture;
        // whatever an earlier animation left in the document is not shown.
        for (int32_t i = g_animDoc.GetFrameCount() - 1; i > 0; --i)
            g_animDoc.DeleteFrame(i);
        m_playback.index = 0;
        g_nCurrentFrame = 0;
        m_movie->GotoFrame(kMovieFrameEmpty);
    } else {
        const std::size_t slash = g_strSourcePath.find_last_of("/\\");
        SetVariable("filename", slash == std::string::npos ? g_strSourcePath : g_strSourcePath.substr(slash + 1));
        m_movie->GotoFrame(kMovieFrameEditor);
        const int offset = (kPreviewSize - g_imageSize) / 2;
        g_animDoc.SetOwner(this);
        g_animDoc.m_x = kPreviewLeft + offset;
        g_animDoc.m_y = kPreviewTop + offset;
        // One overlay at a time: the one of the last showing goes.
        m_pOverlay.reset();
        m_pOverlay = std::make_unique<CDlgMask>(this, g_animDoc.m_x, g_animDoc.m_y, g_imageSize, g_imageSize);
        m_pOverlay->raise();
        m_pOverlay->show();
        SetVariable("AnimCur", std::to_string(ClampSelection(m_playback.index, EditorFrameCount()) + 1));
        PushPlaying();
        RefreshEditor();
        // The meter shows once there is something to measure.
        SetVariable("AnimMaxBytes", EditorFrameCount() > 0 ? std::to_string(m_nMaxSize) : std::string());
        ShowSize(-1);
        MeasureSize();
    }
    m_bShown = true;
}

bool CDlgWiz3::NewAnimationArrived() const
{
    if (g_createNew != 0)
        return true;
    // Route 0: the picture editor has just made every frame from the source.
    return m_pFrame && m_pFrame->m_previous == kPagePictureEditor && g_pageRoute == 0;
}

void CDlgWiz3::ResetPlayback()
{
    const int32_t count = EditorFrameCount();
    m_playback.Reset(count);
    g_nCurrentFrame = 0;
    SetVariable("curFrm", "1");
    SetVariable("totFrm", std::to_string(count));
}

void CDlgWiz3::RefreshEditor()
{
    const int32_t count = EditorFrameCount();
    g_nCurrentFrame = ClampSelection(g_nCurrentFrame, count);
    if (count == 0)
        return;
    const int32_t sel = g_nCurrentFrame;
    SetVariable("curFrm", std::to_string(sel + 1));
    SetVariable("AnimTot", std::to_string(count));
    SetVariable("prevFrm", sel > 0 ? std::to_string(sel) : std::string());
    SetVariable("nextFrm", sel < count - 1 ? std::to_string(sel + 2) : std::string());
    const uint32_t delay = g_animDoc.GetDelay(sel);
    SetVariable("m_duration", FormatDelaySeconds(delay));
    const int32_t cursor = DurationCursorPosition(delay, g_animDoc.GetMinDelay(), g_animDoc.GetMaxDelay());
    m_movie->TSetProperty("DurationCursor", 0, std::to_string(kDurationTrackLeft + cursor));
    Invalidate();
}

void CDlgWiz3::PushPlaying()
{
    SetVariable("AnimPlaying", m_bPlaying ? "1" : "0");
}

void CDlgWiz3::OnFSCommand(const std::string& command, const std::string& args)
{
    if (Fitting() && !AnsweredWhileFitting(command))
        return;
    if (OnWindowButton(command))
        return;
    const int32_t count = EditorFrameCount();
    // The selection may have been left one past the end (insert after the last
    // frame, then back without inserting).
    g_nCurrentFrame = ClampSelection(g_nCurrentFrame, count);
    const int32_t sel = g_nCurrentFrame;

    if (command == "ChangeStep") {
        if (args == "4") {
            SaveAndGoNext();
        } else if (args == "2") {
            m_pOverlay.reset();
            GoPrevious();
        }
    } else if (command == "ButtonInsert") {
        // "1" inserts after the selected frame, anything else before it.
        if (args == "1" && count > 0)
            g_nCurrentFrame = sel + 1;
        g_pageRoute = 1;
        platform::PostWindowMessage(m_pFrame, WM_WIZ_INSERT);
    } else if (command == "ButtonStopAnim" || command == "ButtonPlayAnim") {
        m_bPlaying = command == "ButtonPlayAnim";
        PushPlaying();
        Invalidate();
    } else if (count == 0) {
        // Every other command works on a frame.
    } else if (command == "ButtonRewind") {
        g_nCurrentFrame = 0;
        RefreshEditor();
    } else if (command == "ButtonPrev") {
        if (sel > 0) {
            g_nCurrentFrame = sel - 1;
            RefreshEditor();
        }
    } else if (command == "ButtonForward") {
        g_nCurrentFrame = count - 1;
        RefreshEditor();
    } else if (command == "ButtonNext") {
        if (sel < count - 1) {
            g_nCurrentFrame = sel + 1;
            RefreshEditor();
        }
    } else if (command == "ButtonShiftRight") {
        if (sel < count - 1) {
            g_animDoc.SwapFrames(sel, sel + 1);
            RefreshEditor();
            MeasureSize();
        }
    } else if (command == "ButtonShiftLeft") {
        if (sel > 0) {
            g_animDoc.SwapFrames(sel, sel - 1);
            RefreshEditor();
            MeasureSize();
        }
    } else if (command == "duration") {
        const uint32_t asked = DelayFromSlider(DurationSliderPosition(args), g_animDoc.GetMinDelay(),
                                               g_animDoc.GetMaxDelay());
        g_animDoc.SetDelay(sel, asked);
        // What the frame now has, after the document's default and limits.
        SetVariable("m_duration", FormatDelaySeconds(g_animDoc.GetDelay(sel)));
        MeasureSize();
    } else if (command == "ButtonMakeFit") {
        MakeItFit();
    } else if (command == "ButtonModify") {
        g_picture.SetImage(g_animDoc.CopyFrame(sel));
        platform::PostWindowMessage(m_pFrame, WM_WIZ_MODIFY);
    } else if (command == "ButtonDelete") {
        const int32_t before = g_animDoc.GetFrameCount();
        g_animDoc.DeleteFrame(sel);
        if (g_nCurrentFrame >= g_animDoc.GetFrameCount())
            g_nCurrentFrame = g_animDoc.GetFrameCount() - 1;
        RefreshEditor();
        if (g_animDoc.GetFrameCount() != before)
            MeasureSize();
    }
}

void CDlgWiz3::OnDefaultAction()
{
    if (isVisible())
        OnFSCommand("ChangeStep", "4");
}

void CDlgWiz3::keyPressEvent(QKeyEvent* event)
{
    if (isVisible() && EditorFrameCount() > 0) {
        const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
        if (event->key() == Qt::Key_Space && modifiers == Qt::NoModifier) {
            OnFSCommand(m_bPlaying ? "ButtonStopAnim" : "ButtonPlayAnim", "");
            event->accept();
            return;
        }
        for (const KeyCommand& k : kKeyCommands) {
            if (event->key() == k.key && modifiers == k.modifiers) {
                OnFSCommand(k.command, "");
                event->accept();
                return;
            }
        }
    }
    CWizPage::keyPressEvent(event);
}

void CDlgWiz3::SaveAndGoNext()
{
    const WizardMessages& texts = Messages();
    if (EditorFrameCount() == 0) {
        // Nothing chosen yet: whatever the document still holds from an earlier
        // animation must not be written and sent.
        ShowError(texts.MsgInvalidPicture + " " + TemporaryPath());
        return;
    }
    g_tempGifPath = TemporaryPath();
    int64_t bytes = 0;
    switch (SaveAndCheckAnimation(g_animDoc, g_tempGifPath, int64_t(m_nMaxSize), &bytes, &m_writeOptions)) {
    case AnimationCheck::Fits:
        ShowSize(bytes);
        GoNext();
        break;
    case AnimationCheck::SaveFailed:
        ShowError(texts.MsgInvalidPicture + " " + g_tempGifPath);
        break;
    case AnimationCheck::TooBig:
        ShowSize(bytes);
        ShowError(FillMessage(texts.MsgAnimationTooBig, std::to_string(bytes), std::to_string(m_nMaxSize)));
        DeleteTempFile(g_tempGifPath);
        break;
    }
}

bool CDlgWiz3::Fitting() const
{
    return m_fitter->Busy();
}

void CDlgWiz3::MakeItFit()
{
    FitOptions options;
    // As the page writes the animation now: when it already fits that way,
    // nothing changes.
    options.start = m_writeOptions;
    if (EditorFrameCount() == 0 || !m_fitter->Start(g_animDoc, int64_t(m_nMaxSize), options))
        return;
    SetVariable("AnimFitting", "1");
}

void CDlgWiz3::FitDone(const FitResult& result)
{
    SetVariable("AnimFitting", "0");
    switch (result.outcome) {
    case FitResult::Outcome::Fitted:
        // A size measured before the fitting must not overwrite the new one.
        m_meter->Cancel();
        m_writeOptions = result.options;
        // Fewer frames: the preview, and the selection (RefreshEditor), stay inside them.
        m_playback.index = ClampSelection(m_playback.index, EditorFrameCount());
        SetVariable("AnimCur", std::to_string(m_playback.index + 1));
        RefreshEditor();
        ShowSize(result.bytes);
        ShowFitReport(&result);
        break;
    case FitResult::Outcome::AlreadyFits:
        m_meter->Cancel();
        ShowSize(result.bytes);
        break;
    case FitResult::Outcome::Impossible:
        // Nothing changed; the size is the smallest file a fitting could make.
        ShowError(FillMessage(Messages().MsgAnimationTooBig, std::to_string(result.bytes),
                              std::to_string(m_nMaxSize)));
        break;
    case FitResult::Outcome::Failed:
        // Nothing changed, and the writer refused the frames: Next says so.
        break;
    }
}

void CDlgWiz3::ShowFitReport(const FitResult* result)
{
    const bool bFewerFrames = result && result->framesAfter != result->framesBefore;
    SetVariable("AnimFitDone", result ? "1" : "");
    SetVariable("AnimFitColours", result && result->colours ? std::to_string(result->colours) : std::string());
    SetVariable("AnimFitKept", bFewerFrames ? std::to_string(result->framesAfter) : std::string());
    SetVariable("AnimFitOf", bFewerFrames ? std::to_string(result->framesBefore) : std::string());
}

void CDlgWiz3::OnTimer(int nIdEvent)
{
    if (nIdEvent == kPlaybackTimer) {
        if (!m_bShown || g_createNew != 0 || !m_bPlaying)
            return;
        if (!m_playback.Tick(uint32_t(m_nTimerMs), g_animDoc))
            return;
        SetVariable("AnimCur", std::to_string(m_playback.index + 1));
        RefreshEditor();
    } else if (nIdEvent == kRepaintTimer) {
        if (g_createNew == 0)
            Invalidate();
    }
}

void CDlgWiz3::MeasureSize()
{
    ShowFitReport(nullptr);
    if (EditorFrameCount() > 0)
        m_meter->Measure(g_animDoc, m_writeOptions);
}

void CDlgWiz3::ShowSize(int64_t bytes)
{
    const SizeMeterReading reading = ReadSizeMeter(bytes, m_nMaxSize);
    SetVariable("AnimBytes", reading.bytes < 0 ? std::string() : std::to_string(reading.bytes));
    SetVariable("AnimFill", std::to_string(reading.percent));
    SetVariable("AnimFits", reading.fits ? "1" : "0");
}

void CDlgWiz3::OnPaint()
{
    if (EditorFrameCount() == 0)
        return;
    DrawStrip();
    DrawPreview();
}

void CDlgWiz3::DrawStrip()
{
    const int32_t count = EditorFrameCount();
    const int32_t sel = ClampSelection(g_nCurrentFrame, count);
    RasterSurface view = m_surface->Surface();
    g_animDoc.SetSurface(&view);
    const int32_t neighbours[3][2] = {{sel - 1, kPreviousLeft}, {sel, kSelectedLeft}, {sel + 1, kNextLeft}};
    for (const auto& [index, left] : neighbours) {
        if (index < 0 || index >= count) {
            // No neighbour on this side: a black square.
            m_surface->FillRect(RECT{left, kStripTop, left + kStripSize, kStripTop + kStripSize}, 0x000000);
            continue;
        }
        g_animDoc.DrawFrame(index, left, kStripTop, kStripSize);
    }
    g_animDoc.SetSurface(nullptr);
}

void CDlgWiz3::DrawPreview()
{
    const RECT box{kPreviewLeft, kPreviewTop, kPreviewLeft + kPreviewSize, kPreviewTop + kPreviewSize};
    m_surface->FillRect(box, 0x000000);
    // A frame larger than the phone's picture stays inside the preview box.
    m_surface->SetClipBox(box);
    RasterSurface view = m_surface->Surface();
    g_animDoc.SetSurface(&view);
    g_animDoc.DrawFrameAtPreview(ClampSelection(m_playback.index, EditorFrameCount()));
    g_animDoc.SetSurface(nullptr);
    m_surface->ResetClipBox();
}
