#include "update/UpgradeChain.h"

#include "base/Ansi.h"
#include "base/RuntimeError.h"
#include "base/Utils.h"
#include "downloader/CopyHelper.h"
#include "platform/App.h"
#include "platform/MsgBox.h"
#include "program/Globals.h"
#include "trainer/frmMain.h"
#include "update/ProgramFile.h"
#include "update/UpdateServer.h"
#include "update/UpdaterStart.h"
#include "update/Version.h"

namespace {

enum UpgradeStep : quint8 {
    stepStart = 1,
    stepVersionArrived = 2,
    stepUpdaterArrived = 3,
    stepNewProgramArrived = 4,
};

const QString restCaption = QStringLiteral("Verbodrom(EN)");

QString title(const char *note)
{
    return App::Title() + QString::fromUtf8(note);
}

QString programFolderFile(const QString &fileName)
{
    return Utils::addBackslash(App::Path()) + fileName;
}

Version localVersion()
{
    return {quint32(App::Major()), quint32(App::Minor()), quint32(App::Revision())};
}

} // namespace

void UpgradeChain::run(quint8 ixStep)
{
    setErrMode(errLeave);
    try {
        CopyHelper &helper = Globals::g_objCopyHelper();
        helper.Task(task);
        helper.Step(ixStep);
        switch (ixStep) {
        case stepStart:
            return start();
        case stepVersionArrived:
            return compareVersions();
        case stepUpdaterArrived:
            return updaterArrived();
        case stepNewProgramArrived:
            return newProgramArrived();
        default:
            mWindow.setWindowTitle(restCaption);
            return;
        }
    } catch (...) {
        if (mErrMode == errFile)
            MsgBox(mErrMessage, vbExclamation, title(" - Update error"), &mWindow);
        endAtRest();
    }
}

void UpgradeChain::transferEnded(const QByteArray &arrContents, qint16 chError)
{
    // Partial or earlier content of a failed transfer never goes on.
    const bool good = chError == 0;
    g_arrContents = good ? arrContents : QByteArray();
    g_strContents = Ansi::decode(g_arrContents);

    if (!mWindow.mUpgradeRunning || !Globals::hasCopyHelper())
        return;
    const CopyHelper &helper = Globals::g_objCopyHelper();
    if (helper.Task() != task)
        return;
    if (!good)
        return endAtRest();
    // Read before the next step runs: step 4 releases the downloader.
    const quint8 next = quint8(helper.Step() + 1);
    run(next);
}

void UpgradeChain::endAtRest()
{
    mWindow.mUpgradeRunning = false;
    mWindow.setWindowTitle(restCaption);
    mWindow.updateMe(1);
}

void UpgradeChain::setErrMode(ErrMode mode, const QString &message)
{
    mErrMode = mode;
    mErrMessage = message;
}

void UpgradeChain::dispatch(const QString &fileName)
{
    setErrMode(errDispatch);
    // No transfer means no callback: nothing else would end the chain.
    if (!Globals::g_objCopyHelper().Dispatch(UpdateServer::url(fileName)))
        endAtRest();
}

void UpgradeChain::start()
{
    mWindow.setWindowTitle(restCaption + QStringLiteral(" - Versions-Upgrade läuft..."));
    CopyHelper &helper = Globals::g_objCopyHelper();
    helper.Parent(&mWindow);
    helper.DataType(0);
    mWindow.mUpgradeRunning = true;
    dispatch(UpdateServer::versionFile);
}

void UpgradeChain::compareVersions()
{
    // Anything but a version text (an error page, an empty body) ends the
    // chain as quietly as a failed transfer.
    const std::optional<Version> remote = parseVersion(g_arrContents);
    if (remote && *remote > localVersion()) {
        // At start-up the learner may be typing: Enter must not accept.
        const int style = vbOKCancel | vbInformation | (g_bManualUpdate ? 0 : vbDefaultButton2);
        const QString offer = QStringLiteral("Eine neue Version (")
                              + QString::fromLatin1(trimVersionText(g_arrContents))
                              + QStringLiteral(") ist verfügbar.\r\n"
                                               "Bitte klicken Sie OK, um sie zu installieren!");
        if (MsgBox(offer, style, title(" - Update verfügbar"), &mWindow) == vbOK)
            dispatch(UpdateServer::updaterFile);
        else
            endAtRest();
        return;
    }
    if (remote && g_bManualUpdate)
        MsgBox(QStringLiteral("Keine neue Version verfügbar."), vbOKOnly, title(" - Kein Upgrade"),
               &mWindow);
    endAtRest();
}

bool UpgradeChain::keepFile(const QString &fileName, const QString &emptyMessage)
{
    if (g_arrContents.isEmpty()) {
        MsgBox(emptyMessage, vbExclamation, title(" - Update error"), &mWindow);
        endAtRest();
        return false;
    }
    const QString path = programFolderFile(fileName);
    setErrMode(errFile, QStringLiteral("Die Datei ") + path
                                + QStringLiteral(" konnte nicht geschrieben werden.\r\n"
                                                 "Das Update wurde nicht installiert."));
    if (!writeProgramFile(path, g_arrContents))
        throw RuntimeError(RuntimeError::PermissionDenied, "file cannot be written");
    return true;
}

void UpgradeChain::updaterArrived()
{
    if (keepFile(UpdateServer::updaterFile,
                 QStringLiteral("Der Updater konnte nicht heruntergeladen werden")))
        dispatch(UpdateServer::newProgramFile);
}

void UpgradeChain::newProgramArrived()
{
    if (!keepFile(UpdateServer::newProgramFile,
                  QStringLiteral("Die neue Version konnte nicht heruntergeladen werden")))
        return;
    if (MsgBox(QStringLiteral("Alle erforderlichen Dateien wurden heruntergeladen.\r\n"
                              "Update starten?"),
               vbOKCancel | vbExclamation, title(" - Update starten?"), &mWindow)
        != vbOK) {
        endAtRest(); // both files stay in the program folder
        return;
    }
    setErrMode(errFile, QStringLiteral("Der Updater ")
                                + programFolderFile(UpdateServer::updaterFile)
                                + QStringLiteral(" konnte nicht gestartet werden."));
    startUpdater(App::Path());
    // The chain is over; the busy caption stays while the updater works.
    // The downloader called us and is released only once it has returned.
    mWindow.mUpgradeRunning = false;
    int Cancel = 0;
    mWindow.Form_Unload(Cancel);
}
