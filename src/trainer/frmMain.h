#pragma once

#include "support/Forms.h"

#include <QByteArray>
#include <QString>

// The main window: the verb drill on one tab, the menus.
class frmMain : public Form
{
    Q_OBJECT
public:
    explicit frmMain(QWidget *parent = nullptr);

    // The default browser's program part, found while the window loads.
    QString g_prgIE;

    // The update chain: one step per call; returns at once.
    void upgradeMe(quint8 ixStep = 0);
    void updateMe(quint8 ixStep = 0);
    // Called by the downloader, by name, when a transfer ends.
    Q_INVOKABLE void CHCallBack(QByteArray &arrContents, qint16 &chError);

    void Form_Unload(int &Cancel);
    void mnuUpdate_Click();
};
