#include "platform/FileSystem.h"

#include "base/RuntimeError.h"

#include <QFile>
#include <QFileInfo>

bool FileSystemObject::FileExists(const QString &path) const
{
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

QByteArray FileSystemObject::ReadAll(const QString &path, qint64 maxBytes) const
{
    const QFileInfo info(path);
    if (!FileExists(path))
        throw RuntimeError(RuntimeError::FileNotFound, "file not found");
    if (!info.isFile())
        throw RuntimeError(RuntimeError::PermissionDenied, "not a regular file");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RuntimeError(RuntimeError::PermissionDenied, "file cannot be opened");
    // Read in pieces up to the bound: the size on record may be wrong (files
    // under /proc show 0) or change while the file is read.
    constexpr qint64 piece = 64 * 1024;
    QByteArray bytes;
    bytes.reserve(qMin(info.size(), maxBytes));
    while (bytes.size() < maxBytes) {
        const qint64 offset = bytes.size();
        const qint64 wanted = qMin(piece, maxBytes - offset);
        bytes.resize(offset + wanted);
        const qint64 got = file.read(bytes.data() + offset, wanted);
        if (got < 0)
            throw RuntimeError(RuntimeError::PermissionDenied, "file cannot be read");
        bytes.resize(offset + got);
        if (got == 0)
            break;
    }
    return bytes;
}

void FileSystemObject::DeleteFile(const QString &path, bool force) const
{
    if (!FileExists(path))
        throw RuntimeError(RuntimeError::FileNotFound, "file not found");
    QFile file(path);
    if (force && !(file.permissions() & QFileDevice::WriteOwner))
        file.setPermissions(file.permissions() | QFileDevice::WriteOwner);
    if (!file.remove())
        throw RuntimeError(RuntimeError::PermissionDenied, "file cannot be deleted");
}
