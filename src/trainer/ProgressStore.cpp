#include "trainer/ProgressStore.h"

#include "platform/FileSystem.h"
#include "platform/StateFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <utility>

namespace {

// Most names tried for a file moved aside on one day.
constexpr int maxAsideNames = 100;

const char *reason(ProgressFileOutcome outcome)
{
    switch (outcome) {
    case ProgressFileOutcome::TooLarge:
        return "it is too large";
    case ProgressFileOutcome::Corrupt:
        return "it is not a progress file of this program";
    default:
        return "it is no regular file or cannot be read";
    }
}

// QLockFile reads a lock it finds to see whether it is stale: a pipe or a
// link to one there would block it for good. QLockFile never makes either,
// so such a name is removed first.
void removeForeignLock(const QString &path)
{
    const QFileInfo info(path);
    if (info.isSymLink() || (info.exists() && !info.isFile())) {
        if (!QFile::remove(path))
            QDir().rmdir(path);
    }
}

} // namespace

ProgressStore::ProgressStore(QString path, int lockWaitMs)
    : mPath(std::move(path)),
      mLockPath(mPath + QStringLiteral(".lock")),
      mLockWait(lockWaitMs)
{}

void ProgressStore::load(QDate today)
{
    mState = ProgressState();
    mKnownFile.clear();
    mUnwritten.clear();
    QLockFile lock(mLockPath);
    const bool locked = QFileInfo(QFileInfo(mPath).absolutePath()).isDir() && take(lock);
    QByteArray bytes;
    ProgressFileOutcome outcome = readProgressFile(mPath, bytes);
    if (outcome == ProgressFileOutcome::Read) {
        std::optional<ProgressState> state = parseProgress(bytes);
        if (state) {
            mState = std::move(*state);
            mKnownFile = bytes;
            return;
        }
        outcome = ProgressFileOutcome::Corrupt;
    }
    // Without the lock another copy may be replacing the file right now: an
    // unusable one is moved aside at the next write instead.
    if (locked && outcome != ProgressFileOutcome::Missing)
        setAside(outcome, today);
}

bool ProgressStore::change(const ProgressChanges &change, QDate today)
{
    applyChanges(mState, change, today);
    mUnwritten.append(change);
    return write(today);
}

bool ProgressStore::write(QDate today)
{
    if (!makePrivateFolder(QFileInfo(mPath).absolutePath()))
        return failed("its folder cannot be made");
    QLockFile lock(mLockPath);
    if (!take(lock))
        return failed("another copy of the program holds its lock");
    QByteArray bytes;
    ProgressFileOutcome outcome = readProgressFile(mPath, bytes);
    ProgressState merged = mState; // what this copy sees, its changes included
    if (outcome == ProgressFileOutcome::Read && bytes != mKnownFile) {
        // Another copy wrote since: its file with this copy's changes.
        if (std::optional<ProgressState> disk = parseProgress(bytes)) {
            merged = std::move(*disk);
            for (const ProgressChanges &change : std::as_const(mUnwritten))
                applyChanges(merged, change, today);
        } else {
            outcome = ProgressFileOutcome::Corrupt;
        }
    }
    // Nothing usable there: what this copy sees is all there is.
    if (outcome != ProgressFileOutcome::Read && outcome != ProgressFileOutcome::Missing
        && !setAside(outcome, today))
        return failed("the file there could not be moved aside");
    const QByteArray written = formatProgress(merged);
    // Private, as the state folder is; a link at the name is replaced, never
    // written through.
    if (!writeWholeFile(mPath, written, QFile::ReadOwner | QFile::WriteOwner))
        return failed("it cannot be written");
    mKnownFile = written;
    mState = std::move(merged);
    mUnwritten.clear();
    mFailureTold = false;
    return true;
}

bool ProgressStore::take(QLockFile &lock) const
{
    removeForeignLock(mLockPath);
    lock.setStaleLockTime(StaleLockMs);
    return lock.tryLock(mLockWait);
}

bool ProgressStore::setAside(ProgressFileOutcome outcome, QDate today)
{
    const QString base = mPath + QStringLiteral(".unreadable-") + today.toString(Qt::ISODate);
    for (int n = 1; n <= maxAsideNames; ++n) {
        const QString aside = n == 1 ? base : base + u'-' + QString::number(n);
        if (renameNoReplace(mPath, aside)) {
            qWarning("Progress file %s ignored: %s; moved to %s", qPrintable(mPath),
                     reason(outcome), qPrintable(aside));
            return true;
        }
        if (!QFileInfo::exists(aside) && !QFileInfo(aside).isSymLink())
            break; // the name was free: the move itself failed
    }
    if (!mFailureTold)
        qWarning("Progress file %s ignored: %s; it cannot be moved aside and is left as it is, "
                 "so progress is not kept",
                 qPrintable(mPath), reason(outcome));
    mFailureTold = true;
    return false;
}

bool ProgressStore::failed(const char *why)
{
    if (!mFailureTold)
        qWarning("Progress not kept: %s: %s", qPrintable(mPath), why);
    mFailureTold = true;
    return false;
}
