// The picture editor page (page 3): turns one picture into a phone-sized frame.
#pragma once

#include "wiz_page.h"

class CDlgWiz4 : public CWizPage {
    Q_OBJECT
public:
    explicit CDlgWiz4(CDlgFrame* pFrame);

    bool OnInitDialog() override;
    void OnDefaultAction() override;
    void OnFSCommand(const std::string& command, const std::string& args) override;
};
