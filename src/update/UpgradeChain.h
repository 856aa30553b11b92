#pragma once

#include <QByteArray>
#include <QString>

class frmMain;

// One step of the upgrade chain on the main window, run by upgradeMe and
// CHCallBack (upgradeMe.cpp).
//
// Step 1 sets the busy caption and asks the shared downloader for
// Version.txt. Each transfer end enters CHCallBack, which goes on with the
// downloader's Step + 1: step 2 compares the versions and offers the update,
// step 3 writes Updater.exe and asks for New.exe, step 4 writes New.exe,
// asks and starts the updater. With a release key (App::UpdateKey) each file
// is followed by its ".minisig" (steps 5 and 6) and held in memory; both are
// written only once both are verified, and a file that is not validly
// signed for the offered version is refused. A chain ends at rest (caption
// "Verbodrom(EN)", updateMe(1)) after a failed transfer, a text that is no
// newer version, a refusal, an empty or unsigned file or an error; it ends
// with the busy caption once the updater runs. Network failures and unusable
// version texts stay quiet; an unsigned release, a file that cannot be
// written or an updater that cannot start is told in a box, since the user
// has accepted the update by then.
class UpgradeChain
{
public:
    explicit UpgradeChain(frmMain &window)
        : mWindow(window)
    {}

    // The downloader's Task for the chain's transfers.
    static constexpr quint8 task = 1;

    // Runs step `ixStep`; any other value only sets the rest caption.
    // Never throws.
    void run(quint8 ixStep);
    // A transfer of the running chain has ended: stores a good transfer's
    // bytes in g_arrContents and g_strContents (nothing after a failure) and
    // goes on with the next step, or ends the chain when `chError` is not 0.
    void transferEnded(const QByteArray &arrContents, qint16 chError);
    // Ends the running chain: rest caption, updateMe(1), menu free again.
    void endAtRest();

private:
    // How a step recovers from an error, set before each risky statement.
    enum ErrMode {
        errLeave = 0,    // nothing started: the chain ends at rest
        errDispatch = 1, // a transfer did not start: the chain ends at rest
        errFile = 2,     // writing or starting failed: tell the user, end at rest
    };

    void start();
    void compareVersions();
    void updaterArrived();
    void newProgramArrived();
    // With a release key: keeps the file that arrived in `held` and fetches
    // its signature, then true; false without a key.
    bool awaitSignature(QByteArray &held, const QString &fileName, quint8 signatureStep);
    // With a release key: checks the file held for this signature; writes
    // both files once the second one is verified.
    void signatureArrived(quint8 ixStep);
    // Tells the user the release is not validly signed; ends at rest.
    void refuseRelease();
    // Asks "Update starten?" and starts the updater on OK.
    void askAndStart();
    // False, after telling the user, when the transfer brought no bytes.
    bool arrivedWhole(const QString &emptyMessage);
    // Writes a program file; throws after setting the error mode's message.
    void writeFile(const QString &fileName, const QByteArray &bytes);
    // Fetches `fileName`; its arrival runs `arrivalStep`.
    void dispatch(const QString &fileName, quint8 arrivalStep);
    void setErrMode(ErrMode mode, const QString &message = QString());

    frmMain &mWindow;
    ErrMode mErrMode = errLeave;
    QString mErrMessage;
};
