// The start page (page 0): an introduction, the choice of picture size and of
// opening pictures or creating a new animation. Going on stores both choices in
// the route flags and asks the frame for the next page.
#pragma once

#include "wiz_page.h"

class CDlgWiz1 : public CWizPage {
    Q_OBJECT
public:
    explicit CDlgWiz1(CDlgFrame* pFrame);

    bool OnInitDialog() override;
    void OnDefaultAction() override;
    void OnFSCommand(const std::string& command, const std::string& args) override;

    // Reads "ImageSize" and "Action" from the movie into the route flags and goes on.
    void ChangeStepNext();

    // "FullScreen" in any letter case gives 128, anything else 64.
    static int32_t ImageSizeFromMovie(const std::string& value);
    // "Open" in any letter case gives 0 (existing pictures), anything else 1 (new).
    static int32_t CreateNewFromMovie(const std::string& action);
};
