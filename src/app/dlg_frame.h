// The wizard's main window: a borderless, shaped 580 x 411 window that owns the
// six pages, shows one at a time over its whole client area and picks the next
// page from the route flags when a page asks. It also carries the small frame
// menu (About, Reduce) and the About box.
#pragma once

#include "instance_registry.h"
#include "route_tables.h"

#include <QDialog>
#include <QIcon>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class CWizPage;
struct WizardMessages;

class CDlgFrame : public QDialog {
    Q_OBJECT
public:
    // Makes the page of the given index (0 to 5) as a child of the frame.
    using PageFactory = std::function<CWizPage*(int nIndex, CDlgFrame* pFrame)>;
    // Chooses an item of the frame menu: gets the items (command, text) and the
    // screen position, returns the command chosen or 0.
    using MenuTracker = std::function<int(const std::vector<std::pair<int, std::string>>&, QPoint)>;

    static constexpr int kPageTimerMs = 150;
    static constexpr int kMenuAbout = 1;

    // The frame knows no page: the program hands it the factory of its pages.
    explicit CDlgFrame(PageFactory factory, QWidget* parent = nullptr);
    ~CDlgFrame() override;

    // Replaces how the frame menu is tracked (null: a pop-up menu). For tests.
    static void SetMenuTracker(MenuTracker tracker);

    // Sets the window up and shows the start page (the dialog initialisation).
    bool OnInitDialog();
    // Initialises and runs the frame until a page ends the wizard or the window is
    // closed; returns Accepted for an ended wizard, Rejected for a close request.
    int DoModal();

    void AddNextPage();
    void ShowCurrentPage();
    void ShowFrameMenu();
    void OnSysCommand(uint32_t nId);
    void RunAboutBox();

    CWizPage* CurrentPage() const;
    CWizPage* Page(int nIndex) const;

    // Called once, when the frame's timer has made pages 1 to 5.
    std::function<void()> m_onAllPages;

    const WizardMessages* m_pMessages;
    QIcon m_hIcon;
    std::vector<CWizPage*> m_pages;
    int m_current = kNoPage;
    int m_previous = kNoPage;
    int m_pageCount = 0;

protected:
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
    void Route(int target);

    PageFactory m_factory;
    int m_nPageTimer = 0;
    platform::SuiteWindowEndpoint m_endpoint;
};
