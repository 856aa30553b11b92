#include "platform/FileSystem.h"

#include "base/RuntimeError.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

#include <sys/stat.h>

bool FileSystemObject::FileExists(const QString &path) const
{
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

FileBytes readRegularFile(const QString &path, qint64 maxBytes)
{
    FileBytes result;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        result.outcome = errno == ENOENT ? FileReadOutcome::Missing : FileReadOutcome::Unreadable;
        return result;
    }
    struct stat info
    {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        result.outcome = FileReadOutcome::NotRegular;
        return result;
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        result.outcome = FileReadOutcome::Unreadable;
        return result;
    }
    // Read in pieces up to one byte past the bound: the size on record may
    // be wrong (files under /proc show 0) or change while the file is read.
    constexpr qint64 piece = 64 * 1024;
    QByteArray &bytes = result.bytes;
    bytes.reserve(qMin(qint64(info.st_size), maxBytes) + 1);
    while (bytes.size() <= maxBytes) {
        const qint64 offset = bytes.size();
        const qint64 wanted = qMin(piece, maxBytes + 1 - offset);
        bytes.resize(offset + wanted);
        const qint64 got = file.read(bytes.data() + offset, wanted);
        if (got < 0) {
            bytes.clear();
            result.outcome = FileReadOutcome::Unreadable;
            return result;
        }
        bytes.resize(offset + got);
        if (got == 0)
            break;
    }
    result.outcome = FileReadOutcome::Read;
    if (bytes.size() > maxBytes) {
        bytes.truncate(maxBytes);
        result.outcome = FileReadOutcome::TooLarge;
    }
    return result;
}

bool writeWholeFile(const QString &path, const QByteArray &bytes,
                    std::optional<QFileDevice::Permissions> permissions)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size() || (permissions && !file.setPermissions(*permissions))) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QByteArray FileSystemObject::ReadAll(const QString &path, qint64 maxBytes) const
{
    if (!FileExists(path))
        throw RuntimeError(RuntimeError::FileNotFound, "file not found");
    FileBytes file = readRegularFile(path, maxBytes);
    switch (file.outcome) {
    case FileReadOutcome::Read:
    case FileReadOutcome::TooLarge:
        return std::move(file.bytes);
    case FileReadOutcome::Missing:
        throw RuntimeError(RuntimeError::FileNotFound, "file not found");
    case FileReadOutcome::NotRegular:
        throw RuntimeError(RuntimeError::PermissionDenied, "not a regular file");
    case FileReadOutcome::Unreadable:
        break;
    }
    throw RuntimeError(RuntimeError::PermissionDenied, "file cannot be read");
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
