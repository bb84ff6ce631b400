#include "page_factory.h"

#include "dlg_frame.h"
#include "dlg_wiz1.h"
#include "dlg_wiz2.h"
#include "dlg_wiz3.h"
#include "dlg_wiz4.h"
#include "dlg_wiz5.h"
#include "dlg_wiz6.h"
#include "route_tables.h"

CWizPage* CreateWizardPage(int nIndex, CDlgFrame* pFrame)
{
    switch (nIndex) {
    case kPageStart:
        return new CDlgWiz1(pFrame);
    case kPageContent:
        return new CDlgWiz2(pFrame);
    case kPageAnimEditor:
        return new CDlgWiz3(pFrame);
    case kPagePictureEditor:
        return new CDlgWiz4(pFrame);
    case kPageSave:
        return new CDlgWiz5(pFrame);
    case kPageTransfer:
        return new CDlgWiz6(pFrame);
    default:
        return nullptr;
    }
}
