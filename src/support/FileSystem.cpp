#include "support/FileSystem.h"

#include "support/Ansi.h"
#include "support/RuntimeError.h"

#include <QFileInfo>

bool FileSystemObject::FileExists(const QString &path) const
{
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

std::unique_ptr<TextStream> FileSystemObject::OpenTextFile(const QString &path) const
{
    if (!FileExists(path))
        throw RuntimeError(RuntimeError::FileNotFound, "file not found");
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        throw RuntimeError(RuntimeError::PermissionDenied, "file cannot be opened");
    return std::unique_ptr<TextStream>(new TextStream(std::move(file)));
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

TextStream::TextStream(std::unique_ptr<QFile> file)
    : mFile(std::move(file))
{
}

bool TextStream::AtEndOfStream() const
{
    return !mFile || mFailed || mFile->atEnd();
}

bool TextStream::failed() const
{
    return mFailed;
}

QString TextStream::ReadLine()
{
    mTooLong = false;
    if (AtEndOfStream())
        return {};

    // readLine(n) gives at most n - 1 bytes: room for one byte over the limit.
    QByteArray line = mFile->readLine(MaxLineBytes + 2);
    if (line.isEmpty() && !mFile->atEnd()) {
        mFailed = true; // readLine gives nothing only on an error here
        return {};
    }
    if (line.size() > MaxLineBytes && !line.endsWith('\n')) {
        // Skip the rest of the overlong line in bounded pieces.
        mTooLong = true;
        while (!mFile->atEnd()) {
            const QByteArray piece = mFile->readLine(MaxLineBytes);
            if (piece.isEmpty() || piece.endsWith('\n'))
                break;
        }
        return {};
    }
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return Ansi::decode(line);
}

void TextStream::Close()
{
    if (mFile)
        mFile->close();
    mFile.reset();
}
