// The animation editor page (page 2): the selected frame between its two
// neighbours, the frames' order and delays, a playback preview, the way to
// insert or modify frames, and the animation's file size against the phone's
// limit. Next writes the animation to the temporary GIF and goes on only when
// the file fits. When it does not, "Make it fit" shrinks the animation under
// the limit, changing as little as it can.
#pragma once

#include "anim_editor.h"
#include "gif_codec.h"
#include "wiz_page.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

class CDlgMask;
class CFitWorker;
class CSizeMeterWorker;
struct FitResult;

class CDlgWiz3 : public CWizPage {
    Q_OBJECT
public:
    // Timer identifiers: the playback preview and the periodic repaint.
    static constexpr int kPlaybackTimer = 100;
    static constexpr int kRepaintTimer = 101;
    static constexpr int kRepaintMs = 2000;

    // Where the page paints (page pixels).
    static constexpr int kPreviewLeft = 401;
    static constexpr int kPreviewTop = 155;
    static constexpr int kPreviewSize = 128;
    static constexpr int kStripTop = 127;
    static constexpr int kStripSize = 64;
    static constexpr int kPreviousLeft = 74;
    static constexpr int kSelectedLeft = 166;
    static constexpr int kNextLeft = 258;

    explicit CDlgWiz3(CDlgFrame* pFrame);
    ~CDlgWiz3() override;

    bool OnInitDialog() override;
    void OnDefaultAction() override;
    void OnFSCommand(const std::string& command, const std::string& args) override;
    void OnShowWindow(bool bShow) override;
    void OnPaint() override;

    // One tick of a timer: kPlaybackTimer advances the preview, kRepaintTimer
    // repaints; other identifiers are ignored. The page's Qt timers arrive here.
    void OnTimer(int nIdEvent);
    // Stops both timers; the page then only moves when OnTimer is called.
    void StopTimers();

    // Pushes the selection, the neighbours' numbers, the delay and the cursor
    // to the movie, and asks for the frames to be painted again.
    void RefreshEditor();
    // Makes the next playback tick show frame 0 and selects frame 0.
    void ResetPlayback();
    // Next: writes the temporary GIF, checks its size and goes on when it fits.
    void SaveAndGoNext();
    // "Make it fit": starts fitting the animation under the phone's limit away
    // from the UI thread; the page takes the result when it comes.
    void MakeItFit();
    bool Fitting() const;

    // The frames the editor works on: none while the animation is a new one
    // whose first picture has not been chosen yet.
    int32_t EditorFrameCount() const;
    // The temporary GIF the animation is written to.
    std::string TemporaryPath() const;

    int32_t m_nTimerMs = 50;
    uint32_t m_nMaxSize = 0;        // the phone's limit, bytes ("AnimMaxSize")
    // How the animation is written and measured: the "AnimCompression"
    // setting's coder for a new animation, then whatever a fitting chose.
    GifWriteOptions m_writeOptions;
    std::string m_strInstallPath;   // "Installation Path"; the temporary GIF goes to its temp folder
    std::unique_ptr<CDlgMask> m_pOverlay; // over the playback preview while the page is shown
    PlaybackClock m_playback;
    bool m_bPlaying = true;
    bool m_bShown = false;

protected:
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void StartTimer(int nIdEvent, int ms);
    void SetVariable(const char* name, const std::string& value);
    void PushPlaying();
    // Asks for the file size again after a change of the document; what the
    // last fitting did is no longer the whole story and is not shown any more.
    void MeasureSize();
    void ShowSize(int64_t bytes);
    void FitDone(const FitResult& result);
    // Tells the movie what a fitting did (null: nothing to tell).
    void ShowFitReport(const FitResult* result);
    // Whether the animation shown now is another one than at the last showing:
    // a new one, or one the picture editor has just made from its source.
    bool NewAnimationArrived() const;
    void ShowError(const std::string& text);
    void DrawStrip();
    void DrawPreview();

    std::map<int, int> m_timers; // Qt timer id -> our identifier
    std::map<std::string, std::string> m_pushed; // the movie variables as last set
    CSizeMeterWorker* m_meter;
    CFitWorker* m_fitter;
};
