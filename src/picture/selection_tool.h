// The square selection of the picture editor: a frame with four corner handles
// that the user drags over the picture shown in the editor's picture box.
// The tool knows nothing of windows: the page passes its drawing surface to
// Attach and forwards every mouse event to OnMouse, then shows the cursor that
// OnMouse returns.
#pragma once

#include <cstdint>

#include "raster_types.h"

class CEditPicture;

// The cursors the tool asks for; the page maps them to its own cursor shapes.
enum class SelectionCursor {
    Arrow,    // outside the selection, or the tool is inactive
    SizeAll,  // over the selection: it can be moved
    SizeNWSE, // over the top-left or bottom-right handle
    SizeNESW, // over the top-right or bottom-left handle
};

// Key flags of a mouse event, as the page receives them; any non-zero value
// means a button (or modifier key) is down.
enum : uint32_t {
    kMouseLeftButton = 0x0001,
    kMouseRightButton = 0x0002,
    kMouseShift = 0x0004,
    kMouseControl = 0x0008,
    kMouseMiddleButton = 0x0010,
};

class CSelectionTool {
public:
    // Mouse states.
    enum { StateIdle = 0, StatePressedOutside = 1, StateMoving = 2, StateResizing = 3 };
    // Handles, numbered as the corners they sit in.
    enum { HandleNone = 0, HandleTopLeft = 1, HandleTopRight = 2, HandleBottomLeft = 3, HandleBottomRight = 4 };
    // The smallest width and height a selection can be resized to.
    static constexpr int32_t kMinSide = 40;

    CSelectionTool() = default;

    // Activates the tool over a picture shown in `bounds`, drawing into `dc`,
    // and starts with the largest centred selection.
    void Attach(RasterSurface* dc, int32_t left, int32_t top, int32_t right, int32_t bottom);
    // Forgets the previous mouse position, so the next event does not move the selection.
    void Clear();
    void FitSelection();
    void DrawTool();
    // Handles one mouse event at (x, y) in page coordinates; redraws `picture`
    // (when not null) under the tool while dragging. Returns the cursor to show.
    SelectionCursor OnMouse(uint32_t flags, int32_t x, int32_t y, CEditPicture* picture);

    bool HitHandle(int32_t x, int32_t y);
    bool HitInside(int32_t x, int32_t y) const;

    // The page detaches the tool when it is hidden or left backwards.
    void Detach() { m_bActive = false; }
    bool IsActive() const { return m_bActive; }
    const RECT& GetSelection() const { return m_rcSel; }
    void SetSelection(const RECT& rc) { m_rcSel = rc; }
    const RECT& GetBounds() const { return m_rcBounds; }
    double GetAspect() const { return m_dAspect; }
    void SetAspect(double aspect) { m_dAspect = aspect; }
    int32_t GetState() const { return m_nState; }
    int32_t GetHandle() const { return m_nHandle; }
    POINT GetAnchor() const { return m_ptAnchor; }

    bool m_bActive = false;
    RasterSurface* m_pDC = nullptr;
    RECT m_rcBounds{0, 0, 0, 0};
    double m_dAspect = 1.0;
    RECT m_rcSel{0, 0, 0, 0};
    POINT m_ptLast{0, 0};
    int32_t m_nState = StateIdle;
    int32_t m_nPrevState = StateIdle;
    int32_t m_nHandle = HandleNone;
    POINT m_ptAnchor{0, 0};

private:
    void Move(int32_t x, int32_t y);
    void Resize(int32_t x, int32_t y);
};
