#pragma once

#include "update/HeldRelease.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>

class CopyHelper;
class frmMain;

// The upgrade chain: one object per main window that owns the chain's state;
// the window's entry points (upgradeMe, CHCallBack, mnuUpdate_Click) reach it
// through the window's signals.
//
// upgradeMe(1) (start-up) or the menu starts a check: busy caption, then
// Version.txt through the shared downloader. Each transfer's end arrives in
// CHCallBack, and what the chain waits for (its Step) says what comes next:
//
//   Version -> a newer version is offered -> Updater [-> UpdaterSignature]
//           -> NewProgram [-> NewProgramSignature] -> Installing
//
// The signatures are fetched only when the build has a release key. Both
// files are held in memory until both have arrived (and are verified); only
// then are they written into the program folder, and after "Update
// starten?" the updater is started and the window's unload releases the
// downloader; the window stays open with the busy caption, and the updater
// ends the program. Every other way ends at rest (caption "Verbodrom(EN)",
// updateMe(1)), through one switch of Endings that picks the box, if any: a
// check at start-up stays quiet about a server that is down or answers no
// version; from the menu, and after the user has said OK, the user is told.
// A program folder the user may not write (a package install) is never
// asked about at all.
//
// The chain takes every transfer's bytes from the downloader and keeps only
// what a step reads, within its bounds, so a hostile server cannot pin
// memory.
class UpdateCheck : public QObject
{
    Q_OBJECT
public:
    // The shared downloader, created on first use.
    using Downloader = std::function<CopyHelper &()>;

    // A child of `window`, which owns the chain's boxes and caption, and
    // connected to its entry points.
    UpdateCheck(frmMain &window, Downloader downloader);

    // upgradeMe: step 1 starts a check unless one runs; any other step only
    // sets the rest caption while none runs. Returns at once.
    void runStep(quint8 ixStep);
    // CHCallBack: a transfer of the shared downloader has ended.
    void takeTransfer(QByteArray &arrContents, qint16 &chError);
    // mnuUpdate_Click: starts a check that tells its outcome; a running one
    // now tells it too.
    void checkAsked();

    // The downloader's Task for the chain's transfers.
    static constexpr quint8 task = 1;
    // The most of Version.txt and of a .minisig that the chain takes: a
    // version text is a few digits, a signature a few lines.
    static constexpr qsizetype maxVersionBytes = 64;
    static constexpr qsizetype maxSignatureBytes = 4096;

private:
    // What the chain waits for.
    enum class Step {
        Idle,
        Version,
        Updater,
        UpdaterSignature,
        NewProgram,
        NewProgramSignature,
        Installing, // both files are here: written, asked for, started
    };
    // How a chain ends at rest; each has its box, or none, in endAtRest().
    enum class Ending {
        Declined,        // the user said Cancel
        Managed,         // the program folder is not the user's to write
        NothingNew,      // the server holds no newer version
        NoAnswer,        // Version.txt did not arrive
        NoVersion,       // Version.txt is no version text
        DownloadFailed,  // a file after OK did not arrive
        UpdaterEmpty,    // Updater.exe arrived empty
        NewProgramEmpty, // New.exe arrived empty
        NotSigned,       // a file is not validly signed for this release
        NotWritten,      // a file could not be written
        NotStarted,      // the updater could not be started
    };

    void startCheck();
    // Each step takes the transfer's bytes and keeps only what it needs.
    void versionArrived(QByteArray bytes);
    void fileArrived(QByteArray bytes);
    void signatureArrived(QByteArray bytes);
    void transferFailed(qint16 code);
    // The file of this step (and its signature) is complete.
    void fileComplete();
    void install();
    void fetch(Step step, const QString &fileName);
    // Shows the ending's box, if any (`detail`: a path or the downloader's
    // text), and ends at rest.
    void endAtRest(Ending ending, const QString &detail = QString());
    bool awaitsUpdater() const { return mStep == Step::Updater || mStep == Step::UpdaterSignature; }

    frmMain &mWindow;
    Downloader mDownloader;
    Step mStep = Step::Idle;
    bool mManual = false;
    HeldRelease mRelease;
};
