// The six pages of the wizard, made for the frame by index. The frame itself knows
// no page: the program, the tests and the end-to-end driver all hand it this one.
#pragma once

class CDlgFrame;
class CWizPage;

// Page `nIndex` (0 start, 1 content, 2 animation editor, 3 picture editor, 4 save,
// 5 transfer) as a child of `pFrame`; null for any other index.
CWizPage* CreateWizardPage(int nIndex, CDlgFrame* pFrame);
