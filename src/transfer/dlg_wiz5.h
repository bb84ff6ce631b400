// The save page (page 4): the animation's name and size, and saving a copy of it.
#pragma once

#include "wiz_page.h"

class CDlgWiz5 : public CWizPage {
    Q_OBJECT
public:
    explicit CDlgWiz5(CDlgFrame* pFrame);

    bool OnInitDialog() override;
    void OnDefaultAction() override;
    void OnFSCommand(const std::string& command, const std::string& args) override;
};
