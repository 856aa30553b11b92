#pragma once

#include "trainer/Progress.h"

#include <QDate>
#include <QList>
#include <QString>

class QLockFile;

// The progress file as every running copy of the program shares it. Each
// copy sees the file as it last read or wrote it, with its own changes since.
// Every write takes a lock file beside the progress file and merges this
// copy's unwritten changes into the file as it is at that moment, so two
// copies never lose each other's checks. A file that cannot be used is moved
// aside, never overwritten.
class ProgressStore
{
public:
    // How long a write waits for another copy's lock before it gives up (the
    // changes then wait for the next write), and the age at which a lock
    // counts as left behind by a copy that died.
    static constexpr int LockWaitMs = 1000;
    static constexpr int StaleLockMs = 10000;

    explicit ProgressStore(QString path, int lockWaitMs = LockWaitMs);

    const QString &path() const { return mPath; }
    // The state as this copy sees it.
    const ProgressState &state() const { return mState; }
    // True while changes wait to be written.
    bool hasUnwritten() const { return !mUnwritten.isEmpty(); }

    // Reads the file under the lock and forgets any unwritten changes. A file
    // there that cannot be used (no regular file, unreadable, too large,
    // corrupt) is moved aside to "<path>.unreadable-<today>" and the state
    // starts empty; one warning in the log names the reason and the new name.
    // When it cannot be moved, it is left untouched and never overwritten.
    void load(QDate today);

    // Applies the change to state() at once, then writes it with every change
    // not yet written. On success state() is the merged file. False when the
    // lock was held past the wait, the file could not be written, or an
    // unusable file there could not be moved aside; the changes then wait for
    // the next write, and the log tells once until a write works again. A
    // file removed while the program runs is written again from state().
    bool change(const ProgressChanges &change, QDate today);

private:
    bool write(QDate today);
    // Takes the lock file beside the progress file, waiting at most the
    // store's wait; a stale lock is taken over.
    bool take(QLockFile &lock) const;
    bool setAside(ProgressFileOutcome outcome, QDate today);
    bool failed(const char *why);

    QString mPath;
    QString mLockPath;
    int mLockWait;
    ProgressState mState;
    // The file as this store last read or wrote it: when the file still
    // holds these bytes, mState without the unwritten changes is what it
    // says, and it need not be parsed again.
    QByteArray mKnownFile;
    QList<ProgressChanges> mUnwritten;
    bool mFailureTold = false;
};
