// The common base of the six wizard pages. A page is a child of the frame that
// fills the frame's client area: its movie at the bottom, its drawing surface
// above the movie. A page never shows another page: it sets the route flags and
// posts a request to the frame.
#pragma once

#include <QWidget>
#include <cstdint>
#include <string>

class CDlgFrame;
class CMovieCtrl;
class CMovieToolTip;
struct WizardMessages;
namespace platform {
class DrawingSurface;
}

class CWizPage : public QWidget {
    Q_OBJECT
public:
    CWizPage(CDlgFrame* pFrame, int nIndex);
    ~CWizPage() override;

    // Called once by the frame right after the page is created.
    virtual bool OnInitDialog();
    // What Enter does on the page; the base goes on to the next page.
    virtual void OnDefaultAction();
    // A command of the page's movie.
    virtual void OnFSCommand(const std::string& command, const std::string& args);
    // The frame shows or hides the page.
    virtual void OnShowWindow(bool bShow);
    // A window message sent or posted to the page; returns true when handled.
    virtual bool OnWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    // Draws the page's own pictures on its drawing surface. The frame calls it
    // right after showing the page, and Invalidate asks for it again. Pages never
    // draw from a paint event: the surface is translucent, so its update repaints
    // the page under it, which would draw again without end.
    virtual void OnPaint();

    // Asks for OnPaint once the current event is handled; several requests before
    // then give one paint. Nothing happens while the page is hidden.
    void Invalidate();

    void GoNext();
    void GoPrevious();
    void Reduce();
    // Leaves the wizard: asks first when there are unsaved changes, deletes the
    // temporary animation file, then asks the frame to end.
    void ExitWizard();
    // Places `window` at 0,0 with the frame's client size, keeping its stacking.
    void FitToFrame(QWidget* window);

    // The texts in the chosen language (the frame's catalogue).
    const WizardMessages& Messages() const;
    // Gives the keyboard focus to the page's movie.
    void TakeFocus();
    int Index() const { return m_nIndex; }

    CDlgFrame* m_pFrame;
    CMovieCtrl* m_movie;
    platform::DrawingSurface* m_surface;
    CMovieToolTip* m_toolTip = nullptr;
    bool m_bDirty = true;

protected:
    // What every page does when it is made: the page and its movie fill the
    // frame, the movie `name` plays, and the movie's tooltip is created.
    void SetUpPage(const std::string& name);
    // The two buttons every page's movie has: "exit" leaves the wizard, "reduce"
    // minimises it. True when `command` was one of them.
    bool OnWindowButton(const std::string& command);
    // Loads the page's movie ("Plendix.swf?frm=2" and so on) of the current language.
    void LoadMovie(const std::string& name);
    // Creates the tooltip over the movie, its text read from the movie variable "tt".
    void CreateToolTip();

    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int m_nIndex;
    bool m_bPaintPending = false;
};
