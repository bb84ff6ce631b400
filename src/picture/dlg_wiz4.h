// The picture editor page (page 3): turns one picture, g_picture, into a
// phone-sized frame. The user turns, mirrors or flips it, drags a square
// selection over it (or uses the whole picture), changes its lightness and sees
// the result in the preview box; Next puts the result into the animation.
//
// The page is thin: the edit is a PictureEdit, the selection a CSelectionTool,
// the result and Next the functions of edit_result.h. The page translates the
// movie's commands and the mouse into calls on them and draws from OnPaint.
#pragma once

#include <QPoint>
#include <Qt>
#include <cstdint>

#include "edit_result.h"
#include "preview_picture.h"
#include "raster_types.h"
#include "selection_tool.h"
#include "wiz_page.h"

class CDlgMask;

class CDlgWiz4 : public CWizPage {
    Q_OBJECT
public:
    // Page pixels of the picture box and the preview box.
    static constexpr int kPictureX = 33;
    static constexpr int kPictureY = 109;
    static constexpr int kPreviewX = 406;
    static constexpr int kPreviewY = 135;
    static constexpr int kPreviewBox = 128;

    explicit CDlgWiz4(CDlgFrame* pFrame);

    bool OnInitDialog() override;
    void OnDefaultAction() override;
    void OnFSCommand(const std::string& command, const std::string& args) override;
    void OnShowWindow(bool bShow) override;
    void OnPaint() override;

    // The selection tool's key flags for a mouse event's buttons and modifiers.
    static uint32_t MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    // The cursor shape the page shows for a cursor the selection tool asks for.
    static Qt::CursorShape CursorShape(SelectionCursor cursor);

    // The edit: fit choice, apply-to-all, turns, mirroring, lightness, target
    // size, and (taken from the tool when the result is built) the selection.
    PictureEdit m_edit;
    CSelectionTool m_tool;
    CPreviewPicture m_preview;
    CDlgMask* m_pSourceMask = nullptr;  // over the picture box, made on the first show
    CDlgMask* m_pPreviewMask = nullptr; // over the preview box, made on the first show

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    // Presses and releases do nothing: the tool reads the buttons from the moves.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Where the result is drawn: centred in the preview box.
    int PreviewOffset() const;
    void RedrawPicture();
    void ResetSelection();
    void RefreshPreview();
    void GoOn();
    // Sets the cursor on the overlay under `at` (page pixels), or on the one that
    // holds the mouse while a button is down outside both.
    void ShowCursor(QPoint at, SelectionCursor cursor);

    // What the picture, the preview and the tool draw on: the page's drawing
    // surface while OnPaint runs, nothing at any other time. Commands and mouse
    // moves change the edit and ask for a paint; the paint draws it all.
    RasterSurface m_view;
    // The same, clipped to the picture box: what the selection tool draws on.
    RasterSurface m_toolView;
};
