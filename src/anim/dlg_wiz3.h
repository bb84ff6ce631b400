// The animation editor page (page 2): the frames of the animation, their order and
// delays, and the way to insert or modify frames.
#pragma once

#include "wiz_page.h"

class CDlgWiz3 : public CWizPage {
    Q_OBJECT
public:
    explicit CDlgWiz3(CDlgFrame* pFrame);

    bool OnInitDialog() override;
    void OnDefaultAction() override;
    void OnFSCommand(const std::string& command, const std::string& args) override;
};
