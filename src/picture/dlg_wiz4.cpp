#include "dlg_wiz4.h"

#include <QMouseEvent>
#include <string>

#include "dlg_frame.h"
#include "dlg_mask.h"
#include "drawing_surface.h"
#include "edit_picture.h"
#include "message_box.h"
#include "messages.h"
#include "movie_ctrl.h"
#include "surface_paint.h"
#include "wizard_globals.h"

namespace {

// The box the program shows when the selection covers no pixel of the picture.
const char kCannotExtract[] = "Can't extract!";
// What the page says when the movie does not give its own text for a full
// animation ("%1%": the pictures left out).
const char kAnimationFull[] =
    "The animation is full: it can hold at most 256 frames. Pictures left out: %1%. "
    "Delete some frames to make room for them.";

bool EqualsIgnoringCase(const std::string& a, const char* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if ((x >= 'A' && x <= 'Z' ? x + 32 : x) != (y >= 'A' && y <= 'Z' ? y + 32 : y))
            return false;
    }
    return i == a.size() && b[i] == '\0';
}

} // namespace

CDlgWiz4::CDlgWiz4(CDlgFrame* pFrame) : CWizPage(pFrame, 3)
{
    // The overlays relay every move, with a button down or not: the tool sets
    // the cursor from the moves without one.
    setMouseTracking(true);
}

bool CDlgWiz4::OnInitDialog()
{
    CWizPage::OnInitDialog();
    SetUpPage("Plendix.swf?frm=5");
    return true;
}

uint32_t CDlgWiz4::MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    uint32_t flags = 0;
    if (buttons & Qt::LeftButton)
        flags |= kMouseLeftButton;
    if (buttons & Qt::RightButton)
        flags |= kMouseRightButton;
    if (buttons & Qt::MiddleButton)
        flags |= kMouseMiddleButton;
    if (modifiers & Qt::ShiftModifier)
        flags |= kMouseShift;
    if (modifiers & Qt::ControlModifier)
        flags |= kMouseControl;
    return flags;
}

Qt::CursorShape CDlgWiz4::CursorShape(SelectionCursor cursor)
{
    switch (cursor) {
    case SelectionCursor::SizeAll:
        return Qt::SizeAllCursor;
    case SelectionCursor::SizeNWSE:
        return Qt::SizeFDiagCursor;
    case SelectionCursor::SizeNESW:
        return Qt::SizeBDiagCursor;
    case SelectionCursor::Arrow:
        break;
    }
    return Qt::ArrowCursor;
}

int CDlgWiz4::PreviewOffset() const
{
    return (kPreviewBox - g_imageSize) / 2;
}

void CDlgWiz4::OnShowWindow(bool bShow)
{
    if (!bShow) {
        if (m_pSourceMask)
            m_pSourceMask->hide();
        if (m_pPreviewMask)
            m_pPreviewMask->hide();
        m_tool.Detach();
        return;
    }

    // A fresh edit of whatever the editor's picture is now; the last visit's
    // result is not shown again, even when nothing can be cut out this time.
    m_edit = PictureEdit{};
    delete m_preview.m_pImage;
    m_preview.m_pImage = nullptr;
    m_edit.bFitAll = EqualsIgnoringCase(m_movie->GetVariable("_SelectType"), "All");
    m_tool.Detach();
    if (g_pageRoute != 0) {
        // Inserted and modified frames take the size of the animation's frames.
        if (g_animDoc.GetFrameCount() > 0) {
            m_edit.nTargetWidth = int32_t(g_animDoc.GetWidth());
            m_edit.nTargetHeight = int32_t(g_animDoc.GetHeight());
        }
    } else {
        g_nCurrentFrame = -1;
        if (CRaster* first = g_animDoc.CopyFrame(0)) {
            g_picture.SetImage(first);
        } else {
            // No animation to edit: nothing is shown and nothing can be cut out.
            delete g_picture.m_pImage;
            g_picture.m_pImage = nullptr;
        }
    }

    const int c = PreviewOffset();
    g_picture.SetOwner(this);
    g_picture.SetSurface(&m_view);
    g_picture.m_x = kPictureX;
    g_picture.m_y = kPictureY;
    m_preview.SetOwner(this);
    m_preview.SetSurface(&m_view);
    m_preview.m_x = kPreviewX + c;
    m_preview.m_y = kPreviewY + c;

    if (!m_pSourceMask) {
        m_pSourceMask = new CDlgMask(this, kPictureX, kPictureY, CEditPicture::kBoxSize, CEditPicture::kBoxSize);
        m_pSourceMask->setObjectName(QStringLiteral("sourceMask"));
        m_pPreviewMask = new CDlgMask(this, kPreviewX + c, kPreviewY + c, g_imageSize, g_imageSize);
        m_pPreviewMask->setObjectName(QStringLiteral("previewMask"));
    }
    m_pSourceMask->show();
    m_pSourceMask->raise();
    m_pPreviewMask->show();
    m_pPreviewMask->raise();

    g_strAnimName = AnimationNameFromPath(g_strSourcePath);
    m_movie->SetVariable("filename", FileNameOfPath(g_strSourcePath));
}

void CDlgWiz4::OnPaint()
{
    m_view = m_surface->Surface();
    // The tool's frame may reach past the picture, never past the box, which
    // the next paint blackens again.
    const int box = CEditPicture::kBoxSize;
    m_toolView = m_view;
    m_toolView.clip = IntersectRects(m_view.clip, RECT{kPictureX, kPictureY, kPictureX + box, kPictureY + box});

    surface::FillRect(&m_view, RECT{kPreviewX, kPreviewY, kPreviewX + kPreviewBox, kPreviewY + kPreviewBox}, 0x000000);
    RedrawPicture();
    if (!m_tool.IsActive()) {
        // The first paint after a show centres the selection.
        ResetSelection();
    } else if (!m_edit.bFitAll) {
        m_tool.DrawTool();
    }
    m_preview.DrawPreview();

    m_view = RasterSurface{};
    m_toolView = RasterSurface{};
}

void CDlgWiz4::RedrawPicture()
{
    g_picture.DrawPicture(true);
}

void CDlgWiz4::ResetSelection()
{
    if (!m_edit.bFitAll) {
        const RECT& bounds = g_picture.m_rcClip;
        m_tool.SetAspect(1.0);
        m_tool.Attach(&m_toolView, bounds.left, bounds.top, bounds.right, bounds.bottom);
        m_tool.DrawTool();
    }
    RefreshPreview();
}

void CDlgWiz4::RefreshPreview()
{
    m_edit.rcSelection = m_tool.GetSelection();
    BuildResult(g_picture, m_edit, g_pageRoute, g_imageSize, &m_preview);
}

void CDlgWiz4::OnFSCommand(const std::string& command, const std::string& args)
{
    if (command == "ChangeStep") {
        if (args == "4") {
            GoOn();
        } else if (args == "2") {
            m_tool.Detach();
            // Frames 5 then 6 put the movie back in its resting state for the next visit.
            m_movie->GotoFrame(5);
            m_movie->GotoFrame(6);
            GoPrevious();
        }
        return;
    }
    if (OnWindowButton(command))
        return;
    if (command == "ButtonRotateleft") {
        RecordRotateLeft(m_edit);
        g_picture.RotateLeft();
        RedrawPicture();
        ResetSelection();
        Invalidate();
    } else if (command == "ButtonRotateright") {
        RecordRotateRight(m_edit);
        g_picture.RotateRight();
        RedrawPicture();
        ResetSelection();
        Invalidate();
    } else if (command == "ButtonMirror") {
        RecordMirror(m_edit);
        g_picture.Mirror();
        RedrawPicture();
        ResetSelection();
        Invalidate();
    } else if (command == "ButtonFlip") {
        RecordFlip(m_edit);
        g_picture.Flip();
        RedrawPicture();
        ResetSelection();
        Invalidate();
    } else if (command == "SelectAll") {
        m_edit.bFitAll = EqualsIgnoringCase(args, "All");
        RedrawPicture();
        ResetSelection();
        Invalidate();
    } else if (command == "SelectApply") {
        m_edit.bApplyAll = args == "All";
    } else if (command == "lightness") {
        m_edit.dLightness = LightnessFromSlider(args.c_str());
        RefreshPreview();
        Invalidate();
    } else if (command == "ButtonFormat") {
        // The target size follows the start page's choice; the number is not used.
        RefreshPreview();
        Invalidate();
    }
}

void CDlgWiz4::GoOn()
{
    const WizardMessages& texts = Messages();
    m_edit.rcSelection = m_tool.GetSelection();
    InsertReport report;
    if (!CommitPictureEdit(g_animDoc, g_picture, m_edit, g_pageRoute, g_imageSize, g_nCurrentFrame,
                           g_strInsertPath, &report)) {
        platform::ShowMessageBox(m_pFrame, kCannotExtract, texts.TitleCreateAnimation);
        return;
    }
    if (report.nLeftOut > 0) {
        std::string text = m_movie->GetVariable("TxtAnimFull");
        if (text.empty())
            text = kAnimationFull;
        FillPlaceholder(text, "%1%", std::to_string(report.nLeftOut));
        platform::ShowMessageBox(m_pFrame, text, texts.TitleCreateAnimation, platform::BoxIcon::Warning);
    }
    m_movie->GotoFrame(5);
    m_movie->GotoFrame(6);
    GoNext();
}

void CDlgWiz4::OnDefaultAction()
{
    if (isVisible())
        OnFSCommand("ChangeStep", "4");
}

void CDlgWiz4::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
    if (m_edit.bFitAll)
        return;
    const QPoint at = event->position().toPoint();
    const uint32_t flags = MouseFlags(event->buttons(), event->modifiers());
    const RECT before = m_tool.GetSelection();
    // The picture is redrawn by the paint below, with the same fit as every
    // other time it is drawn.
    const SelectionCursor cursor = m_tool.OnMouse(flags, at.x(), at.y(), nullptr);
    ShowCursor(at, cursor);
    if (flags != 0 && !(m_tool.GetSelection() == before)) {
        RefreshPreview();
        Invalidate();
    }
}

void CDlgWiz4::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void CDlgWiz4::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void CDlgWiz4::ShowCursor(QPoint at, SelectionCursor cursor)
{
    CDlgMask* mask = nullptr;
    for (CDlgMask* candidate : {m_pSourceMask, m_pPreviewMask})
        if (candidate && candidate->isVisible() && candidate->geometry().contains(at))
            mask = candidate;
    // Outside both, a button is down and the mouse still belongs to the overlay
    // it was pressed on: the picture box, where the selection is dragged.
    if (!mask)
        mask = m_pSourceMask;
    if (mask)
        mask->setCursor(CursorShape(cursor));
}
