#pragma once

#include <QByteArray>
#include <QString>

// The file-system object: the few file operations the program needs.
class FileSystemObject
{
public:
    bool FileExists(const QString &path) const;
    // The bytes of an existing regular file, at most maxBytes of them. Reads
    // nothing else: a pipe or a device could block or never end. Throws
    // RuntimeError 53 when the file is missing and 70 when it is no regular
    // file or cannot be opened or read.
    QByteArray ReadAll(const QString &path, qint64 maxBytes) const;
    // Deletes a file, a read-only one too when force is set. Throws
    // RuntimeError 53 when it is missing and 70 when it cannot be deleted.
    void DeleteFile(const QString &path, bool force = false) const;
};
