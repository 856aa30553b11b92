#include "program/Globals.h"
#include "trainer/frmMain.h"
#include "update/UpgradeChain.h"

// The upgrade chain's entry points are members of frmMain; its steps are in
// UpgradeChain.

void frmMain::upgradeMe(quint8 ixStep)
{
    // A running chain owns the downloader's Task, Step and Parent and the
    // caption until it ends; a second chain would take over its transfer.
    if (mUpgradeRunning)
        return;
    UpgradeChain(*this).run(ixStep);
}

void frmMain::updateMe(quint8 ixStep)
{
    Q_UNUSED(ixStep);
}

void frmMain::CHCallBack(QByteArray &arrContents, qint16 &chError)
{
    UpgradeChain(*this).transferEnded(arrContents, chError);
}

void frmMain::mnuUpdate_Click()
{
    g_bManualUpdate = true;
    upgradeMe(1);
}
