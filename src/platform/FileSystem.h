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

// Which file a name led to: its device and inode.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;

    friend bool operator==(const FileIdentity &, const FileIdentity &) = default;
};

// Writes bytes as the whole file at path: into a new temporary file beside
// it, every write checked and flushed to the disk, then renamed over the
// name. A link at path is replaced itself, never written through, and its
// target stays as it was. The file gets `permissions` when given, else the
// mode of the regular file it replaces, else the usual mode for new files.
// False when any of that fails; the name then holds what it held before,
// and no temporary file is left. `written`, when given, receives the new
// file's identity.
bool writeWholeFile(const QString &path, const QByteArray &bytes,
                    std::optional<QFileDevice::Permissions> permissions = std::nullopt,
                    FileIdentity *written = nullptr);

// Renames the name from to the name to, unless to names something already
// (a dangling link included). Links at either name are moved or seen as
// names, never followed. False when nothing was renamed.
bool renameNoReplace(const QString &from, const QString &to);

// How putting a new program file in place went.
enum class ProgramSwap {
    Replaced,      // the new file now has the program's name, mode 0755
    Missing,       // no new file
    NotRegular,    // the new file is a link, a folder or anything but a file
    Empty,         // the new file holds no byte
    NotExecutable, // the new file is not executable by its owner
    Failed,        // the system refused (a read-only folder, say)
};

// Puts the file `source` in place of `target`, both in the same folder, with
// one rename and mode 0755. Only a non-empty regular file that its owner may
// execute is taken, and never through a link; a link at `target` is
// replaced itself. Changes nothing unless the outcome is Replaced.
ProgramSwap replaceProgramFile(const QString &source, const QString &target);

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
    // Deletes the name `path`, a read-only file too when force is set. A link
    // is deleted itself; its target is never touched. Throws RuntimeError 53
    // when there is nothing of that name and 70 when it cannot be deleted (a
    // folder, a read-only file without force, a folder that is not ours).
    void DeleteFile(const QString &path, bool force = false) const;
};
