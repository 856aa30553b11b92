#pragma once

#include <QFile>
#include <QString>

#include <memory>

// A text file opened for reading as ANSI (Windows-1252) text, line by line.
// A line ends at LF; a CR in front of it is dropped with it.
class TextStream
{
public:
    // Lines longer than this are skipped whole: no verb line comes near it,
    // and it keeps a file without line ends from filling the memory.
    static constexpr qint64 MaxLineBytes = 1 << 20;

    bool AtEndOfStream() const;
    // The next line without its line end. A line over MaxLineBytes is
    // consumed and answered as an empty text with lineTooLong() true.
    QString ReadLine();
    bool lineTooLong() const { return mTooLong; }
    // True when reading failed (an I/O error, not the end of the file).
    bool failed() const;
    void Close();

private:
    friend class FileSystemObject;
    explicit TextStream(std::unique_ptr<QFile> file);

    std::unique_ptr<QFile> mFile;
    // Read buffer for the stream's whole life; a fresh line-sized buffer
    // per line costs far more than reading the line.
    QByteArray mBuffer;
    bool mTooLong = false;
    bool mFailed = false;
};

// The file-system object: the few file operations the program needs.
class FileSystemObject
{
public:
    bool FileExists(const QString &path) const;
    // Opens an existing file for reading; never creates one. Throws
    // RuntimeError 53 when it is missing and 70 when it cannot be opened.
    std::unique_ptr<TextStream> OpenTextFile(const QString &path) const;
    // Deletes a file, a read-only one too when force is set. Throws
    // RuntimeError 53 when it is missing and 70 when it cannot be deleted.
    void DeleteFile(const QString &path, bool force = false) const;
};
