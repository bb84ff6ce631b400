// A borderless child laid over a picture area of a page. It relays the mouse to
// its owner page so that the page always works in its own coordinates: moves
// with the mask's offset added, left-button presses and releases at (0, 0).
#pragma once

#include <QEvent>
#include <QWidget>

class CDlgMask : public QWidget {
    Q_OBJECT
public:
    CDlgMask(QWidget* pOwner, int x, int y, int width, int height);

    QWidget* Owner() const { return m_pOwner; }
    QPoint Offset() const { return m_offset; }

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Relay(QEvent::Type type, const QPointF& at, QMouseEvent* original);

    QWidget* m_pOwner;
    QPoint m_offset;
};
