#include "base/Ansi.h"
#include "program/Globals.h"
#include "trainer/frmMain.h"

// The upgrade chain's steps are members of frmMain, kept here with the rest
// of the update code. The chain itself is not built yet: a check ends at once.

void frmMain::upgradeMe(quint8 ixStep)
{
    Q_UNUSED(ixStep);
}

void frmMain::updateMe(quint8 ixStep)
{
    Q_UNUSED(ixStep);
}

void frmMain::CHCallBack(QByteArray &arrContents, qint16 &chError)
{
    Q_UNUSED(chError);
    g_arrContents = arrContents;
    g_strContents = Ansi::decode(arrContents);
}

void frmMain::mnuUpdate_Click()
{
    g_bManualUpdate = true;
    upgradeMe(1);
}
