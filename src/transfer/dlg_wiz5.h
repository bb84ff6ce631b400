// The save page (page 4): the animation's name and size, the phone link in use,
// and saving a copy of the animation on the computer.
#pragma once

#include "wiz_page.h"

#include <string>

class CDlgWiz5 : public CWizPage {
    Q_OBJECT
public:
    explicit CDlgWiz5(CDlgFrame* pFrame);

    bool OnInitDialog() override;
    void OnDefaultAction() override;
    void OnFSCommand(const std::string& command, const std::string& args) override;
    void OnShowWindow(bool bShow) override;

    // Offers the save dialog for a copy of `source` named `name` with the
    // extension `extension`, opening in the last folder used for `kind`
    // ("Path" + kind under the user's wizard settings), and copies it there.
    void SaveOnComputer(const std::string& source, const std::string& name, const std::string& extension,
                        const std::string& kind);

    // The movie's sentence with "%1%" and "%2%", read once: the page
    // overwrites the movie's variable with the filled text. It belongs to the
    // page (one per run in the program) rather than to the class, so that a
    // second frame in another language, as the screenshots make, reads its own.
    std::string m_transferTemplate;
};
