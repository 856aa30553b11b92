#include "trainer/frmMain.h"

#include "support/Globals.h"

frmMain::frmMain(QWidget *parent)
    : Form(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Verbodrom(EN)"));
}

void frmMain::Form_Unload(int &Cancel)
{
    Q_UNUSED(Cancel);
    Globals::releaseCopyHelper();
    Globals::releaseFSO();
}
