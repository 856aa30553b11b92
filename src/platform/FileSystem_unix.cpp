#include "platform/FileSystem.h"

#include "base/RuntimeError.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

namespace {

constexpr mode_t programMode = 0755;
constexpr mode_t newFileMode = 0666; // less the umask, as for any new file
constexpr mode_t modeBits = 07777;
constexpr int temporaryNameTries = 16;

// Closes a descriptor when it goes out of scope.
struct Descriptor
{
    int fd = -1;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

mode_t toMode(QFileDevice::Permissions permissions)
{
    const auto bits = [permissions](QFileDevice::Permission r, QFileDevice::Permission w,
                                    QFileDevice::Permission x) {
        return mode_t((permissions & r ? 4 : 0) | (permissions & w ? 2 : 0)
                      | (permissions & x ? 1 : 0));
    };
    return mode_t(bits(QFileDevice::ReadOwner, QFileDevice::WriteOwner, QFileDevice::ExeOwner) << 6
                  | bits(QFileDevice::ReadGroup, QFileDevice::WriteGroup, QFileDevice::ExeGroup)
                            << 3
                  | bits(QFileDevice::ReadOther, QFileDevice::WriteOther, QFileDevice::ExeOther));
}

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Creates a new file with a name of its own beside `path`; never opens an
// existing name, so nothing planted there is written through.
int createBeside(const QString &path, mode_t mode, QByteArray &name)
{
    const QFileInfo info(path);
    for (int attempt = 0; attempt < temporaryNameTries; ++attempt) {
        name = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()
                                 + QStringLiteral(".%1").arg(QRandomGenerator::global()->generate(),
                                                             8, 16, QLatin1Char('0')));
        const int fd = ::open(name.constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

} // namespace

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
                    std::optional<QFileDevice::Permissions> permissions, FileIdentity *written)
{
    // QSaveFile would follow a link at path and replace its target: the
    // temporary file and the rename here work on the name itself.
    const QByteArray target = QFile::encodeName(path);
    std::optional<mode_t> mode;
    struct stat old
    {};
    if (permissions)
        mode = toMode(*permissions);
    else if (::lstat(target.constData(), &old) == 0 && S_ISREG(old.st_mode))
        mode = old.st_mode & modeBits;

    QByteArray temporary;
    Descriptor file {createBeside(path, mode ? S_IRUSR | S_IWUSR : newFileMode, temporary)};
    if (file.fd < 0)
        return false;
    struct stat made
    {};
    const bool ok = writeAll(file.fd, bytes) && (!mode || ::fchmod(file.fd, *mode) == 0)
                    && ::fsync(file.fd) == 0 && ::fstat(file.fd, &made) == 0
                    && ::rename(temporary.constData(), target.constData()) == 0;
    if (!ok) {
        ::unlink(temporary.constData());
        return false;
    }
    if (written)
        *written = {quint64(made.st_dev), quint64(made.st_ino)};
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

ProgramSwap replaceProgramFile(const QString &source, const QString &target)
{
    Descriptor file {::open(QFile::encodeName(source).constData(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (file.fd < 0)
        return errno == ENOENT  ? ProgramSwap::Missing
               : errno == ELOOP ? ProgramSwap::NotRegular
                                : ProgramSwap::Failed;
    struct stat info
    {};
    if (::fstat(file.fd, &info) != 0)
        return ProgramSwap::Failed;
    if (!S_ISREG(info.st_mode))
        return ProgramSwap::NotRegular;
    if (info.st_size == 0)
        return ProgramSwap::Empty;
    if (!(info.st_mode & S_IXUSR))
        return ProgramSwap::NotExecutable;
    if (::fchmod(file.fd, programMode) != 0
        || ::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData())
                   != 0)
        return ProgramSwap::Failed;
    return ProgramSwap::Replaced;
}

void FileSystemObject::DeleteFile(const QString &path, bool force) const
{
    // Deleting a name needs the folder's permission, not the file's: a
    // read-only file goes without changing its mode, and a link goes
    // without its target being looked at.
    const QByteArray name = QFile::encodeName(path);
    struct stat info
    {};
    if (::lstat(name.constData(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw RuntimeError(RuntimeError::FileNotFound, "file not found");
        throw RuntimeError(RuntimeError::PermissionDenied, "file cannot be reached");
    }
    if (S_ISDIR(info.st_mode) || (!force && S_ISREG(info.st_mode) && !(info.st_mode & S_IWUSR))
        || ::unlink(name.constData()) != 0)
        throw RuntimeError(RuntimeError::PermissionDenied, "file cannot be deleted");
}
