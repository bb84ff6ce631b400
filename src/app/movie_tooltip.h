// Tooltips over a page's movie (and other tools of the page). The text is asked
// for each time the tip is about to show; a mouse move that changes both
// coordinates hides the tip that is showing.
#pragma once

#include <QObject>
#include <QPoint>
#include <functional>
#include <string>
#include <vector>

class QWidget;

// Decides when a mouse move pops the tip: only when both x and y changed since
// the last move seen.
class ToolTipMoveTracker {
public:
    // Returns true when the tip must be hidden; remembers the position either way.
    bool OnMouseMove(int x, int y);

private:
    bool m_bSeen = false;
    int m_x = 0;
    int m_y = 0;
};

class CMovieToolTip : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxTipWidth = 600;
    static constexpr int kAutoPopMs = 10000;

    // `textFor` gives the text for a tool (read from the movie variable "tt").
    using TextProvider = std::function<std::string(QWidget* tool)>;
    CMovieToolTip(QObject* parent, TextProvider textFor);

    void AddTool(QWidget* tool);
    // The tip text of the tool as it would be shown now, after the text request.
    std::string TextFor(QWidget* tool) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TextProvider m_textFor;
    std::vector<QWidget*> m_tools;
    ToolTipMoveTracker m_tracker;
};
