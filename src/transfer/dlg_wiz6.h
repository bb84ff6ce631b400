// The transfer page (page 5): sends the animation to the phone and shows the result.
#pragma once

#include "wiz_page.h"

class CDlgWiz6 : public CWizPage {
    Q_OBJECT
public:
    explicit CDlgWiz6(CDlgFrame* pFrame);

    bool OnInitDialog() override;
    void OnDefaultAction() override;
    void OnFSCommand(const std::string& command, const std::string& args) override;
};
