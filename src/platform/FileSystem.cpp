#include "platform/FileSystem.h"

#include "base/RuntimeError.h"

#include <QFileInfo>

#include <utility>

bool FileSystemObject::FileExists(const QString &path) const
{
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
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
