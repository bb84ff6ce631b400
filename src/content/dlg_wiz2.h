// The content page (page 1): the user browses folders and picks the picture that
// becomes the animation or is inserted into it.
#pragma once

#include "wiz_page.h"

class CDlgWiz2 : public CWizPage {
    Q_OBJECT
public:
    explicit CDlgWiz2(CDlgFrame* pFrame);

    bool OnInitDialog() override;
    void OnDefaultAction() override;
    void OnFSCommand(const std::string& command, const std::string& args) override;
};
