#include "movie_tooltip.h"

#include "movie_text.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>
#include <QWidget>
#include <algorithm>

bool ToolTipMoveTracker::OnMouseMove(int x, int y)
{
    const bool pop = m_bSeen && x != m_x && y != m_y;
    m_bSeen = true;
    m_x = x;
    m_y = y;
    return pop;
}

CMovieToolTip::CMovieToolTip(QObject* parent, TextProvider textFor) : QObject(parent), m_textFor(std::move(textFor))
{
}

void CMovieToolTip::AddTool(QWidget* tool)
{
    if (!tool || std::find(m_tools.begin(), m_tools.end(), tool) != m_tools.end())
        return;
    m_tools.push_back(tool);
    tool->setMouseTracking(true);
    tool->installEventFilter(this);
}

std::string CMovieToolTip::TextFor(QWidget* tool) const
{
    ToolTipTextRequest request;
    SetToolTipFromMovie(request, m_textFor ? m_textFor(tool) : std::string());
    return request.szText;
}

bool CMovieToolTip::eventFilter(QObject* watched, QEvent* event)
{
    auto* tool = qobject_cast<QWidget*>(watched);
    if (!tool)
        return false;
    if (event->type() == QEvent::MouseMove) {
        const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        if (m_tracker.OnMouseMove(at.x(), at.y()) && QToolTip::isVisible())
            QToolTip::hideText();
    } else if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = QString::fromStdString(TextFor(tool));
        if (text.isEmpty()) {
            QToolTip::hideText();
        } else {
            // Plain text of at most 76 bytes stays well within the 600 pixel width.
            QToolTip::showText(help->globalPos(), text, tool, QRect(), kAutoPopMs);
        }
        return true;
    }
    return false;
}
