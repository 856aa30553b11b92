#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <optional>

// How reading a whole file went.
enum class FileReadOutcome {
    Read,       // the whole file is in bytes
    Missing,    // no file at that path
    NotRegular, // a folder, a pipe, a device or a link to one: never read
    Unreadable, // it could not be opened or read
    TooLarge,   // more than maxBytes: bytes holds the first maxBytes
};

struct FileBytes
{
    FileReadOutcome outcome = FileReadOutcome::Missing;
    QByteArray bytes;
};

// The bytes of a regular file, at most maxBytes of them. The file is opened
// without blocking and the opened file itself is checked, so a FIFO never
// hangs the caller and a link to a device such as /dev/zero is never read.
FileBytes readRegularFile(const QString &path, qint64 maxBytes);

// Writes bytes as the whole file at path: into a temporary file beside it,
// every write checked, then renamed into place, with the given permissions
// when there are any. False when any of that fails; the file at path is then
// the old one, or none.
bool writeWholeFile(const QString &path, const QByteArray &bytes,
                    std::optional<QFileDevice::Permissions> permissions = std::nullopt);

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
