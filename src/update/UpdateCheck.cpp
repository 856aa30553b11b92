#include "update/UpdateCheck.h"

#include "base/Utils.h"
#include "downloader/ContentCut.h"
#include "downloader/CopyHelper.h"
#include "downloader/DownloadResult.h"
#include "platform/App.h"
#include "platform/MsgBox.h"
#include "trainer/frmMain.h"
#include "update/ProgramFile.h"
#include "update/UpdateServer.h"
#include "update/UpdaterStart.h"
#include "update/Version.h"

#include <utility>

namespace {

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

UpdateCheck::UpdateCheck(frmMain &window, Downloader downloader)
    : QObject(&window),
      mWindow(window),
      mDownloader(std::move(downloader))
{
    connect(&window, &frmMain::upgradeRequested, this, &UpdateCheck::runStep);
    connect(&window, &frmMain::transferEnded, this, &UpdateCheck::takeTransfer);
    connect(&window, &frmMain::updateAsked, this, &UpdateCheck::checkAsked);
}

void UpdateCheck::runStep(quint8 ixStep)
{
    // A running chain owns the downloader and the caption until it ends.
    if (mStep != Step::Idle)
        return;
    if (ixStep == 1)
        startCheck();
    else
        mWindow.setWindowTitle(restCaption);
}

void UpdateCheck::checkAsked()
{
    mManual = true;
    runStep(1);
}

void UpdateCheck::takeTransfer(QByteArray &arrContents, qint16 &chError)
{
    if (mStep == Step::Idle || mDownloader().Task() != task)
        return;
    // The chain takes the bytes: the downloader keeps no copy of what a
    // server sent, and each step keeps only what it reads.
    QByteArray bytes = std::exchange(arrContents, QByteArray());
    if (chError != DownloadResult::Success)
        return transferFailed(chError);
    switch (mStep) {
    case Step::Version:
        return versionArrived(std::move(bytes));
    case Step::Updater:
    case Step::NewProgram:
        return fileArrived(std::move(bytes));
    case Step::UpdaterSignature:
    case Step::NewProgramSignature:
        return signatureArrived(std::move(bytes));
    case Step::Idle:
    case Step::Installing:
        return;
    }
}

void UpdateCheck::startCheck()
{
    if (!App::PathWritable())
        return endAtRest(Ending::Managed);
    mWindow.setWindowTitle(restCaption + QStringLiteral(" - Versions-Upgrade läuft..."));
    CopyHelper &helper = mDownloader();
    helper.Parent(&mWindow);
    helper.DataType(Http::HttpBody);
    mRelease.begin(App::UpdateKey());
    fetch(Step::Version, UpdateServer::versionFile);
}

void UpdateCheck::fetch(Step step, const QString &fileName)
{
    mStep = step;
    CopyHelper &helper = mDownloader();
    helper.Task(task);
    // No transfer means no callback: nothing else would end the chain.
    if (!helper.Dispatch(UpdateServer::url(fileName)))
        transferFailed(DownloadResult::RetryNotStarted);
}

void UpdateCheck::transferFailed(qint16 code)
{
    switch (mStep) {
    case Step::Version:
        // An answer that is no whole 2xx response is an answer all the same.
        return endAtRest(code == DownloadResult::BadResponse ? Ending::NoVersion
                                                             : Ending::NoAnswer);
    case Step::UpdaterSignature:
    case Step::NewProgramSignature:
        // No signature on the server (a 404): the file is not signed.
        if (code == DownloadResult::BadResponse)
            return endAtRest(Ending::NotSigned);
        break;
    default:
        break;
    }
    endAtRest(Ending::DownloadFailed, mDownloader().endingText(code));
}

void UpdateCheck::versionArrived(QByteArray bytes)
{
    // A longer text is no version: dropped unread, before a box waits.
    if (bytes.size() > maxVersionBytes)
        bytes = QByteArray();
    const std::optional<Version> remote = parseVersion(bytes);
    if (!remote)
        return endAtRest(Ending::NoVersion);
    if (*remote <= localVersion())
        return endAtRest(Ending::NothingNew);
    // At start-up the learner may be typing: Enter must not accept.
    const int style = vbOKCancel | vbInformation | (mManual ? 0 : vbDefaultButton2);
    const QString offer = QStringLiteral("Eine neue Version (")
                          + QString::fromLatin1(trimVersionText(bytes))
                          + QStringLiteral(") ist verfügbar.\r\n"
                                           "Bitte klicken Sie OK, um sie zu installieren!");
    if (MsgBox(offer, style, title(" - Update verfügbar"), &mWindow) != vbOK)
        return endAtRest(Ending::Declined);
    mRelease.offer(*remote);
    fetch(Step::Updater, UpdateServer::updaterFile);
}

void UpdateCheck::fileArrived(QByteArray bytes)
{
    const bool updater = awaitsUpdater();
    if (bytes.isEmpty())
        return endAtRest(updater ? Ending::UpdaterEmpty : Ending::NewProgramEmpty);
    (updater ? mRelease.updater : mRelease.newProgram) = std::move(bytes);
    if (!mRelease.isSigned())
        return fileComplete();
    const QString fileName = updater ? UpdateServer::updaterFile : UpdateServer::newProgramFile;
    fetch(updater ? Step::UpdaterSignature : Step::NewProgramSignature,
          UpdateServer::signatureFile(fileName));
}

void UpdateCheck::signatureArrived(QByteArray bytes)
{
    const bool updater = awaitsUpdater();
    // A longer answer is no signature: dropped unread (and so refused),
    // before a box waits.
    if (bytes.size() > maxSignatureBytes)
        bytes = QByteArray();
    if (!mRelease.verify(
                updater ? mRelease.updater : mRelease.newProgram, bytes,
                (updater ? UpdateServer::updaterFile : UpdateServer::newProgramFile).toLatin1()))
        return endAtRest(Ending::NotSigned);
    fileComplete();
}

void UpdateCheck::fileComplete()
{
    if (awaitsUpdater())
        return fetch(Step::NewProgram, UpdateServer::newProgramFile);
    install();
}

void UpdateCheck::install()
{
    mStep = Step::Installing;
    const QString updaterPath = programFolderFile(UpdateServer::updaterFile);
    const QString newPath = programFolderFile(UpdateServer::newProgramFile);
    FileIdentity updater;
    if (!writeProgramFile(updaterPath, mRelease.updater, &updater))
        return endAtRest(Ending::NotWritten, updaterPath);
    if (!writeProgramFile(newPath, mRelease.newProgram))
        return endAtRest(Ending::NotWritten, newPath);
    mRelease.clear(); // the memory goes back before the question waits
    // Cancel is the default: the box comes up while the learner may be typing.
    if (MsgBox(QStringLiteral("Alle erforderlichen Dateien wurden heruntergeladen.\r\n"
                              "Update starten?"),
               vbOKCancel | vbExclamation | vbDefaultButton2, title(" - Update starten?"), &mWindow)
        != vbOK)
        return endAtRest(Ending::Declined); // both files stay in the program folder
    if (!startUpdater(App::Path(), updater))
        return endAtRest(Ending::NotStarted, updaterPath);
    // The chain is over, the busy caption stays while the updater works. The
    // downloader called us and is released only once it has returned.
    mStep = Step::Idle;
    mManual = false;
    int Cancel = 0;
    mWindow.Form_Unload(Cancel);
}

void UpdateCheck::endAtRest(Ending ending, const QString &detail)
{
    QString text;
    int style = vbExclamation;
    const char *note = " - Update error";
    switch (ending) {
    case Ending::Declined:
        break;
    case Ending::Managed:
        if (mManual)
            text = QStringLiteral("Dieses Programm wird von der Paketverwaltung oder vom "
                                  "Verwalter des Rechners aktualisiert.");
        style = vbInformation;
        note = " - Internet Update";
        break;
    case Ending::NothingNew:
        if (mManual)
            text = QStringLiteral("Keine neue Version verfügbar.");
        style = vbOKOnly;
        note = " - Kein Upgrade";
        break;
    case Ending::NoAnswer:
        if (mManual)
            text = QStringLiteral("Der Update-Server ist nicht erreichbar.");
        break;
    case Ending::NoVersion:
        if (mManual)
            text = QStringLiteral("Der Update-Server hat keine gültige Versionsangabe geliefert.");
        break;
    case Ending::DownloadFailed:
        text = QStringLiteral("Das Update konnte nicht heruntergeladen werden.\r\n") + detail;
        break;
    case Ending::UpdaterEmpty:
        text = QStringLiteral("Der Updater konnte nicht heruntergeladen werden");
        break;
    case Ending::NewProgramEmpty:
        text = QStringLiteral("Die neue Version konnte nicht heruntergeladen werden");
        break;
    case Ending::NotSigned:
        text = QStringLiteral("Das Update ist nicht gültig signiert und wurde verworfen.");
        break;
    case Ending::NotWritten:
        text = QStringLiteral("Die Datei ") + detail
               + QStringLiteral(" konnte nicht geschrieben werden.\r\n"
                                "Das Update wurde nicht installiert.");
        break;
    case Ending::NotStarted:
        text = QStringLiteral("Der Updater ") + detail
               + QStringLiteral(" konnte nicht gestartet werden.");
        break;
    }
    mRelease.clear(); // the memory goes back before the box waits
    if (!text.isEmpty())
        MsgBox(text, style, title(note), &mWindow);
    mStep = Step::Idle;
    mManual = false;
    mWindow.setWindowTitle(restCaption);
    mWindow.updateMe(1);
}
