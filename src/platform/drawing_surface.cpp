#include "drawing_surface.h"

#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

namespace platform {

namespace {
// White with an alpha one short of opaque: what an undrawn pixel becomes when it
// is inverted, told apart from a drawn white so that a second inversion gives the
// undrawn pixel back.
constexpr uint32_t kInvertedUndrawn = 0xFEFFFFFFu;
} // namespace

DrawingSurface::DrawingSurface(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    ResizeBuffer(std::max(1, width()), std::max(1, height()));
}

void DrawingSurface::ResizeBuffer(int width, int height)
{
    if (m_image.width() == width && m_image.height() == height)
        return;
    QImage resized(width, height, QImage::Format_ARGB32);
    resized.fill(0);
    if (!m_image.isNull()) {
        QPainter painter(&resized);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(0, 0, m_image);
    }
    m_image = std::move(resized);
    ResetClipBox();
}

void DrawingSurface::SyncSize()
{
    // The surface always covers its page; a hidden page hears of its size only
    // when shown, so the page's own size is what counts.
    const QSize size = parentWidget() ? parentWidget()->size() : this->size();
    ResizeBuffer(std::max(1, size.width()), std::max(1, size.height()));
}

RECT DrawingSurface::ClipBox()
{
    SyncSize();
    return m_clip;
}

const QImage& DrawingSurface::Image()
{
    SyncSize();
    return m_image;
}

RasterSurface DrawingSurface::Surface()
{
    SyncSize();
    RasterSurface surface;
    surface.pixels = reinterpret_cast<uint32_t*>(m_image.bits());
    surface.width = m_image.width();
    surface.height = m_image.height();
    surface.stride = static_cast<int32_t>(m_image.bytesPerLine() / 4);
    surface.clip = m_clip;
    return surface;
}

void DrawingSurface::SetClipBox(const RECT& clip)
{
    SyncSize();
    m_clip = RECT{std::max(0, clip.left), std::max(0, clip.top), std::min(m_image.width(), clip.right),
                  std::min(m_image.height(), clip.bottom)};
    if (m_clip.right < m_clip.left)
        m_clip.right = m_clip.left;
    if (m_clip.bottom < m_clip.top)
        m_clip.bottom = m_clip.top;
}

void DrawingSurface::ResetClipBox()
{
    m_clip = RECT{0, 0, m_image.width(), m_image.height()};
}

RECT DrawingSurface::Clipped(const RECT& rect) const
{
    return IntersectRects(rect, m_clip);
}

void DrawingSurface::FillRect(const RECT& rect, uint32_t rgb)
{
    SyncSize();
    const RECT r = Clipped(rect);
    const uint32_t value = 0xFF000000u | (rgb & 0x00FFFFFFu);
    for (int y = r.top; y < r.bottom; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(m_image.scanLine(y));
        std::fill(row + r.left, row + r.right, value);
    }
}

void DrawingSurface::InvertRect(const RECT& rect)
{
    SyncSize();
    const RECT r = Clipped(rect);
    for (int y = r.top; y < r.bottom; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(m_image.scanLine(y));
        for (int x = r.left; x < r.right; ++x) {
            const uint32_t p = row[x];
            const uint32_t alpha = p >> 24;
            if (alpha == 0)
                row[x] = kInvertedUndrawn; // nothing drawn counts as black
            else if (p == kInvertedUndrawn)
                row[x] = 0;                // inverted twice: the movie shows again
            else
                row[x] = (p & 0xFF000000u) | (~p & 0x00FFFFFFu);
        }
    }
}

void DrawingSurface::SetPixels(int x, int y, int width, int height, const uint32_t* pixels, int stride)
{
    if (!pixels)
        return;
    SyncSize();
    const RECT r = Clipped(RECT{x, y, x + width, y + height});
    for (int row = r.top; row < r.bottom; ++row) {
        auto* dst = reinterpret_cast<uint32_t*>(m_image.scanLine(row));
        const uint32_t* src = pixels + static_cast<ptrdiff_t>(row - y) * stride;
        std::copy(src + (r.left - x), src + (r.right - x), dst + r.left);
    }
}

uint32_t DrawingSurface::Pixel(int x, int y)
{
    SyncSize();
    if (x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height())
        return 0;
    return reinterpret_cast<const uint32_t*>(m_image.constScanLine(y))[x];
}

void DrawingSurface::Clear()
{
    m_image.fill(0);
    update();
}

void DrawingSurface::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

void DrawingSurface::resizeEvent(QResizeEvent* event)
{
    SyncSize();
    QWidget::resizeEvent(event);
}

} // namespace platform
