// The transfer page (page 5): sends the animation to the phone through the
// phone link, shows the link's progress, and ends with the result.
#pragma once

#include "wiz_page.h"

#include <memory>
#include <string>

class CLinkClient;

class CDlgWiz6 : public CWizPage {
    Q_OBJECT
public:
    explicit CDlgWiz6(CDlgFrame* pFrame);
    ~CDlgWiz6() override;

    bool OnInitDialog() override;
    void OnDefaultAction() override;
    void OnFSCommand(const std::string& command, const std::string& args) override;
    void OnShowWindow(bool bShow) override;
    bool OnWindowMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

    // Sends the temporary animation and shows the result ("TransfertStarted").
    void RunTransfer();
    bool Transferring() const { return m_bTransferring; }

    std::unique_ptr<CLinkClient> m_pLink; // made by the first transfer, then reused
    std::string m_strResult;

private:
    // While a transfer runs the page still handles events (the progress, the
    // movie); what would leave the page or start again waits or is ignored.
    bool m_bTransferring = false;
    bool m_bExitAfterTransfer = false;
};
