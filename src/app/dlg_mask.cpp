#include "dlg_mask.h"

#include <QCoreApplication>
#include <QMouseEvent>

CDlgMask::CDlgMask(QWidget* pOwner, int x, int y, int width, int height)
    : QWidget(pOwner), m_pOwner(pOwner), m_offset(x, y)
{
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TranslucentBackground);
    setMouseTracking(true);
    setGeometry(x, y, width, height);
    raise();
}

void CDlgMask::Relay(QEvent::Type type, const QPointF& at, QMouseEvent* original)
{
    if (!m_pOwner)
        return;
    QMouseEvent relayed(type, at, original->globalPosition(), original->button(), original->buttons(),
                        original->modifiers());
    QCoreApplication::sendEvent(m_pOwner, &relayed);
}

void CDlgMask::mouseMoveEvent(QMouseEvent* event)
{
    Relay(QEvent::MouseMove, event->position() + QPointF(m_offset), event);
}

void CDlgMask::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Relay(QEvent::MouseButtonPress, QPointF(0, 0), event);
}

void CDlgMask::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Relay(QEvent::MouseButtonRelease, QPointF(0, 0), event);
}
