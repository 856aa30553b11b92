#include "update/UpgradeChain.h"

#include "base/Ansi.h"
#include "base/RuntimeError.h"
#include "base/Utils.h"
#include "downloader/CopyHelper.h"
#include "downloader/DownloadResult.h"
#include "platform/App.h"
#include "platform/MsgBox.h"
#include "program/Globals.h"
#include "trainer/frmMain.h"
#include "update/ProgramFile.h"
#include "update/SignedRelease.h"
#include "update/UpdateServer.h"
#include "update/UpdaterStart.h"
#include "update/Version.h"

namespace {

enum UpgradeStep : quint8 {
    stepStart = 1,
    stepVersionArrived = 2,
    stepUpdaterArrived = 3,
    stepNewProgramArrived = 4,
    // With a release key, each file's signature follows the file.
    stepUpdaterSignatureArrived = 5,
    stepNewProgramSignatureArrived = 6,
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

// The one chain's release; its files are held here between transfers.
SignedRelease &release()
{
    static SignedRelease held;
    return held;
}

bool isSignatureStep(quint8 ixStep)
{
    return ixStep == stepUpdaterSignatureArrived || ixStep == stepNewProgramSignatureArrived;
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
        case stepUpdaterSignatureArrived:
        case stepNewProgramSignatureArrived:
            // Only a running chain with a key has a file waiting for these.
            if (mWindow.mUpgradeRunning && release().isSigned())
                return signatureArrived(ixStep);
            [[fallthrough]];
        default:
            mWindow.setWindowTitle(restCaption);
            return;
        }
    } catch (...) {
        // A step runs inside the downloader's callback or a menu handler:
        // whatever fails in it, a run-time error or anything a library
        // throws, ends the chain at rest and never travels further.
        if (mErrMode == errFile)
            MsgBox(mErrMessage, vbExclamation, title(" - Update error"), &mWindow);
        endAtRest();
    }
}

void UpgradeChain::transferEnded(const QByteArray &arrContents, qint16 chError)
{
    // Partial or earlier content of a failed transfer never goes on.
    const bool good = chError == DownloadResult::Success;
    g_arrContents = good ? arrContents : QByteArray();
    g_strContents = Ansi::decode(g_arrContents);

    if (!mWindow.mUpgradeRunning || !Globals::hasCopyHelper())
        return;
    const CopyHelper &helper = Globals::g_objCopyHelper();
    if (helper.Task() != task)
        return;
    // Read before the next step runs: the last step releases the downloader.
    const quint8 next = quint8(helper.Step() + 1);
    if (good)
        return run(next);
    // No whole 2xx answer for a signature (a 404): the file counts as unsigned.
    if (chError == DownloadResult::BadResponse && isSignatureStep(next))
        return refuseRelease();
    endAtRest();
}

void UpgradeChain::endAtRest()
{
    release().clear();
    mWindow.mUpgradeRunning = false;
    mWindow.setWindowTitle(restCaption);
    mWindow.updateMe(1);
}

void UpgradeChain::setErrMode(ErrMode mode, const QString &message)
{
    mErrMode = mode;
    mErrMessage = message;
}

void UpgradeChain::dispatch(const QString &fileName, quint8 arrivalStep)
{
    setErrMode(errDispatch);
    CopyHelper &helper = Globals::g_objCopyHelper();
    // The transfer's end enters the downloader's Step + 1.
    helper.Step(quint8(arrivalStep - 1));
    // No transfer means no callback: nothing else would end the chain.
    if (!helper.Dispatch(UpdateServer::url(fileName)))
        endAtRest();
}

void UpgradeChain::start()
{
    mWindow.setWindowTitle(restCaption + QStringLiteral(" - Versions-Upgrade läuft..."));
    CopyHelper &helper = Globals::g_objCopyHelper();
    helper.Parent(&mWindow);
    helper.DataType(0);
    mWindow.mUpgradeRunning = true;
    release().begin(App::UpdateKey());
    dispatch(UpdateServer::versionFile, stepVersionArrived);
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
        if (MsgBox(offer, style, title(" - Update verfügbar"), &mWindow) != vbOK)
            return endAtRest();
        release().offer(*remote);
        dispatch(UpdateServer::updaterFile, stepUpdaterArrived);
        return;
    }
    if (remote && g_bManualUpdate)
        MsgBox(QStringLiteral("Keine neue Version verfügbar."), vbOKOnly, title(" - Kein Upgrade"),
               &mWindow);
    endAtRest();
}

bool UpgradeChain::arrivedWhole(const QString &emptyMessage)
{
    if (!g_arrContents.isEmpty())
        return true;
    MsgBox(emptyMessage, vbExclamation, title(" - Update error"), &mWindow);
    endAtRest();
    return false;
}

void UpgradeChain::writeFile(const QString &fileName, const QByteArray &bytes)
{
    const QString path = programFolderFile(fileName);
    setErrMode(errFile, QStringLiteral("Die Datei ") + path
                                + QStringLiteral(" konnte nicht geschrieben werden.\r\n"
                                                 "Das Update wurde nicht installiert."));
    if (!writeProgramFile(path, bytes))
        throw RuntimeError(RuntimeError::PermissionDenied, "file cannot be written");
}

bool UpgradeChain::awaitSignature(QByteArray &held, const QString &fileName, quint8 signatureStep)
{
    if (!release().isSigned())
        return false;
    held = g_arrContents;
    dispatch(UpdateServer::signatureFile(fileName), signatureStep);
    return true;
}

void UpgradeChain::updaterArrived()
{
    if (!arrivedWhole(QStringLiteral("Der Updater konnte nicht heruntergeladen werden"))
        || awaitSignature(release().updater, UpdateServer::updaterFile,
                          stepUpdaterSignatureArrived))
        return;
    writeFile(UpdateServer::updaterFile, g_arrContents);
    dispatch(UpdateServer::newProgramFile, stepNewProgramArrived);
}

void UpgradeChain::newProgramArrived()
{
    if (!arrivedWhole(QStringLiteral("Die neue Version konnte nicht heruntergeladen werden"))
        || awaitSignature(release().newProgram, UpdateServer::newProgramFile,
                          stepNewProgramSignatureArrived))
        return;
    writeFile(UpdateServer::newProgramFile, g_arrContents);
    askAndStart();
}

void UpgradeChain::signatureArrived(quint8 ixStep)
{
    SignedRelease &held = release();
    const bool updater = ixStep == stepUpdaterSignatureArrived;
    if (!held.verify(updater ? held.updater : held.newProgram, g_arrContents))
        return refuseRelease();
    if (updater)
        return dispatch(UpdateServer::newProgramFile, stepNewProgramArrived);
    // Both files are verified: only now does the release reach the folder.
    writeFile(UpdateServer::updaterFile, held.updater);
    writeFile(UpdateServer::newProgramFile, held.newProgram);
    held.clear();
    askAndStart();
}

void UpgradeChain::refuseRelease()
{
    MsgBox(QStringLiteral("Das Update ist nicht gültig signiert und wurde verworfen."),
           vbExclamation, title(" - Update error"), &mWindow);
    endAtRest();
}

void UpgradeChain::askAndStart()
{
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
