#include "platform/LinkSafe.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

bool replaceFileName(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    QTemporaryFile temp(info.absolutePath() + QStringLiteral("/.") + info.fileName()
                        + QStringLiteral(".XXXXXX"));
    if (!temp.open() || temp.write(bytes) != bytes.size() || !temp.flush()
        || ::fsync(temp.handle()) != 0)
        return false; // the temporary file removes itself
    temp.close();
    // rename() replaces the directory entry: a link there is replaced, not
    // followed, and whatever it pointed to stays as it was.
    if (::rename(QFile::encodeName(temp.fileName()).constData(),
                 QFile::encodeName(path).constData())
        != 0)
        return false;
    temp.setAutoRemove(false);
    return true;
}

bool renameNoReplace(const QString &from, const QString &to)
{
    const QByteArray source = QFile::encodeName(from), target = QFile::encodeName(to);
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE)
        == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: a hard link fails on a taken name, and
    // link() does not follow a link it is given.
    return ::link(source.constData(), target.constData()) == 0 && ::unlink(source.constData()) == 0;
}
