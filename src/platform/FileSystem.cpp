#include "platform/FileSystem.h"

#include "base/Ansi.h"
#include "base/RuntimeError.h"

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
{}

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

    if (mBuffer.isEmpty())
        mBuffer = QByteArray(MaxLineBytes + 2, Qt::Uninitialized);
    // readLine(data, n) gives at most n - 1 bytes: room for one byte over the
    // limit. It answers -1 on an error and 0 only at the end.
    const qint64 length = mFile->readLine(mBuffer.data(), mBuffer.size());
    if (length < 0 || (length == 0 && !mFile->atEnd())) {
        mFailed = true;
        return {};
    }
    QByteArrayView line(mBuffer.constData(), length);
    if (length > MaxLineBytes && !line.endsWith('\n')) {
        // Skip the rest of the overlong line in bounded pieces.
        mTooLong = true;
        while (!mFile->atEnd()) {
            const qint64 piece = mFile->readLine(mBuffer.data(), mBuffer.size());
            if (piece < 0)
                mFailed = true;
            if (piece <= 0 || mBuffer.at(piece - 1) == '\n')
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
    mBuffer = QByteArray();
}
