#include "selection_tool.h"

#include <algorithm>

#include "edit_picture.h"
#include "surface_paint.h"

namespace {

// Handle centres sit 4 pixels inside the corners; a handle answers to the
// 16 x 16 square around its centre and is drawn as a 10 x 10 square.
constexpr int32_t kHandleInset = 4;
constexpr int32_t kHandleReach = 8;
constexpr int32_t kHandleDrawHalf = 5;
// The dashed frame: 2 pixels thick, dashes of 8 every 10 pixels, corners kept free.
constexpr int32_t kFrameThickness = 2;
constexpr int32_t kDashLength = 8;
constexpr int32_t kDashStep = 10;
constexpr int32_t kCornerGap = 10;

POINT HandleCentre(const RECT& sel, int handle)
{
    switch (handle) {
    case CSelectionTool::HandleTopLeft:
        return {sel.left + kHandleInset, sel.top + kHandleInset};
    case CSelectionTool::HandleTopRight:
        return {sel.right - kHandleInset, sel.top + kHandleInset};
    case CSelectionTool::HandleBottomLeft:
        return {sel.left + kHandleInset, sel.bottom - kHandleInset};
    default:
        return {sel.right - kHandleInset, sel.bottom - kHandleInset};
    }
}

// The corner that stays put while the given handle is dragged.
POINT OppositeCorner(const RECT& sel, int handle)
{
    switch (handle) {
    case CSelectionTool::HandleTopLeft:
        return {sel.right, sel.bottom};
    case CSelectionTool::HandleTopRight:
        return {sel.left, sel.bottom};
    case CSelectionTool::HandleBottomLeft:
        return {sel.right, sel.top};
    default:
        return {sel.left, sel.top};
    }
}

double Ratio(int32_t width, int32_t height)
{
    return height == 0 ? 1000.0 : double(width) / double(height);
}

} // namespace

void CSelectionTool::Attach(RasterSurface* dc, int32_t left, int32_t top, int32_t right, int32_t bottom)
{
    m_bActive = true;
    Clear();
    m_pDC = dc;
    m_rcBounds = RECT{left, top, right, bottom};
    FitSelection();
}

void CSelectionTool::Clear()
{
    m_ptLast = POINT{0, 0};
}

void CSelectionTool::FitSelection()
{
    const RECT& b = m_rcBounds;
    const int32_t width = b.right - b.left;
    const int32_t height = b.bottom - b.top;
    if (Ratio(width, height) > m_dAspect) {
        const int32_t cx = (b.left + b.right) / 2;
        const double half = m_dAspect * height * 0.5;
        m_rcSel = RECT{int32_t(cx - half), b.top, int32_t(cx + half), b.bottom};
    } else {
        const int32_t cy = (b.top + b.bottom) / 2;
        const double half = width / m_dAspect * 0.5;
        m_rcSel = RECT{b.left, int32_t(cy - half), b.right, int32_t(cy + half)};
    }
}

bool CSelectionTool::HitHandle(int32_t x, int32_t y)
{
    // While a corner is being dragged the grip is not dropped, but passing over
    // another handle takes that one (the last hit wins): a corner dragged into
    // the opposite one carries on from there.
    if (m_nState != StateResizing)
        m_nHandle = HandleNone;
    bool bHit = false;
    for (int handle = HandleTopLeft; handle <= HandleBottomRight; ++handle) {
        const POINT c = HandleCentre(m_rcSel, handle);
        if (x >= c.x - kHandleReach && x < c.x + kHandleReach && y >= c.y - kHandleReach &&
            y < c.y + kHandleReach) {
            bHit = true;
            m_nHandle = handle;
            m_ptAnchor = OppositeCorner(m_rcSel, handle);
        }
    }
    return bHit;
}

bool CSelectionTool::HitInside(int32_t x, int32_t y) const
{
    return x >= m_rcSel.left && x < m_rcSel.right && y >= m_rcSel.top && y < m_rcSel.bottom;
}

SelectionCursor CSelectionTool::OnMouse(uint32_t flags, int32_t x, int32_t y, CEditPicture* picture)
{
    if (!m_bActive)
        return SelectionCursor::Arrow;

    if (flags != 0) {
        switch (m_nPrevState) {
        case StateIdle:
            if (HitHandle(x, y))
                m_nState = StateResizing;
            else
                m_nState = HitInside(x, y) ? StateMoving : StatePressedOutside;
            break;
        default:
            m_nState = m_nPrevState;
            break;
        }
        if (m_nState == StateMoving || m_nState == StateResizing) {
            if (picture)
                picture->DrawPicture(false);
            if (m_nState == StateMoving)
                Move(x, y);
            else
                Resize(x, y);
            DrawTool();
        }
    } else {
        m_nState = StateIdle;
        m_nHandle = HandleNone;
    }

    SelectionCursor cursor;
    if (HitHandle(x, y) || m_nState == StateResizing) {
        if (m_nHandle == HandleTopLeft || m_nHandle == HandleBottomRight)
            cursor = SelectionCursor::SizeNWSE;
        else if (m_nHandle == HandleTopRight || m_nHandle == HandleBottomLeft)
            cursor = SelectionCursor::SizeNESW;
        else
            cursor = SelectionCursor::SizeAll;
    } else if (HitInside(x, y) || m_nState == StateMoving) {
        cursor = SelectionCursor::SizeAll;
    } else {
        cursor = SelectionCursor::Arrow;
    }

    m_ptLast = POINT{x, y};
    m_nPrevState = m_nState;
    return cursor;
}

void CSelectionTool::Move(int32_t x, int32_t y)
{
    int32_t dx = 0;
    int32_t dy = 0;
    if (m_ptLast.x != 0 || m_ptLast.y != 0) {
        dx = x - m_ptLast.x;
        dy = y - m_ptLast.y;
    }
    RECT& s = m_rcSel;
    s.left += dx;
    s.right += dx;
    s.top += dy;
    s.bottom += dy;

    const RECT& b = m_rcBounds;
    int32_t push = 0;
    if (s.left < b.left)
        push = b.left - s.left;
    else if (s.right > b.right)
        push = b.right - s.right;
    s.left += push;
    s.right += push;
    push = 0;
    if (s.top < b.top)
        push = b.top - s.top;
    else if (s.bottom > b.bottom)
        push = b.bottom - s.bottom;
    s.top += push;
    s.bottom += push;
}

void CSelectionTool::Resize(int32_t x, int32_t y)
{
    const RECT& b = m_rcBounds;
    const int32_t ax = m_ptAnchor.x;
    const int32_t ay = m_ptAnchor.y;
    const double aspect = m_dAspect;
    RECT& s = m_rcSel;

    switch (m_nHandle) {
    case HandleTopLeft:
        x = std::min(std::max(x, b.left), ax - kMinSide);
        y = std::min(std::max(y, b.top), ay - kMinSide);
        if (Ratio(ax - x, ay - y) > aspect) {
            s.top = y;
            s.left = int32_t(ax - (ay - y) * aspect);
        } else {
            s.left = x;
            s.top = int32_t(ay - (ax - x) / aspect);
        }
        s.right = ax;
        s.bottom = ay;
        break;
    case HandleTopRight:
        x = std::max(std::min(x, b.right), ax + kMinSide);
        y = std::min(std::max(y, b.top), ay - kMinSide);
        if (Ratio(x - ax, ay - y) > aspect) {
            s.top = y;
            s.right = int32_t(ax + (ay - y) * aspect);
        } else {
            s.right = x;
            s.top = int32_t(ay - (x - ax) / aspect);
        }
        s.left = ax;
        s.bottom = ay;
        break;
    case HandleBottomLeft:
        x = std::min(std::max(x, b.left), ax - kMinSide);
        y = std::max(std::min(y, b.bottom), ay + kMinSide);
        if (Ratio(ax - x, y - ay) > aspect) {
            s.bottom = y;
            s.left = int32_t(ax - (y - ay) * aspect);
        } else {
            s.left = x;
            s.bottom = int32_t(ay + (ax - x) / aspect);
        }
        s.right = ax;
        s.top = ay;
        break;
    case HandleBottomRight:
        x = std::max(std::min(x, b.right), ax + kMinSide);
        y = std::max(std::min(y, b.bottom), ay + kMinSide);
        if (Ratio(x - ax, y - ay) > aspect) {
            s.bottom = y;
            s.right = int32_t(ax + (y - ay) * aspect);
        } else {
            s.right = x;
            s.bottom = int32_t(ay + (x - ax) / aspect);
        }
        s.left = ax;
        s.top = ay;
        break;
    default:
        break;
    }
}

void CSelectionTool::DrawTool()
{
    if (!m_bActive)
        return;
    const RECT& s = m_rcSel;
    const RECT& b = m_rcBounds;

    for (int handle = HandleTopLeft; handle <= HandleBottomRight; ++handle) {
        const POINT c = HandleCentre(s, handle);
        surface::InvertRect(m_pDC, RECT{std::max(c.x - kHandleDrawHalf, b.left), std::max(c.y - kHandleDrawHalf, b.top),
                                        std::min(c.x + kHandleDrawHalf, b.right),
                                        std::min(c.y + kHandleDrawHalf, b.bottom)});
    }

    // Each edge runs from 10 pixels after one corner to 10 pixels before the
    // next; dashes start every 10 pixels while the offset stays within the
    // edge, so the last one may pass its nominal end.
    const int32_t hStart = s.left + kCornerGap;
    const int32_t hLength = (s.right - kCornerGap) - hStart;
    for (int32_t o = 0; o <= hLength; o += kDashStep) {
        const int32_t x = hStart + o;
        surface::InvertRect(m_pDC, RECT{x, s.top, x + kDashLength, s.top + kFrameThickness});
        surface::InvertRect(m_pDC, RECT{x, s.bottom - kFrameThickness, x + kDashLength, s.bottom});
    }
    const int32_t vStart = s.top + kCornerGap;
    const int32_t vLength = (s.bottom - kCornerGap) - vStart;
    for (int32_t o = 0; o <= vLength; o += kDashStep) {
        const int32_t y = vStart + o;
        surface::InvertRect(m_pDC, RECT{s.right - kFrameThickness, y, s.right, y + kDashLength});
        surface::InvertRect(m_pDC, RECT{s.left, y, s.left + kFrameThickness, y + kDashLength});
    }
}
