#pragma once

// Throw-away key pairs and signatures made by the real minisign tool, so
// that the verifier is checked against the format as the tool writes it.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <optional>

struct MinisignKey
{
    QString secretKeyFile;
    QByteArray publicLine; // the base64 line of the .pub file
};

// The tool's path, or an empty text when it is not installed.
inline QString minisignProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("minisign"));
}

// Runs minisign with `arguments`, at most ten seconds; true when it exits 0.
inline bool runMinisign(const QStringList &arguments)
{
    QProcess tool;
    tool.start(minisignProgram(), arguments);
    tool.closeWriteChannel();
    return tool.waitForFinished(10000) && tool.exitStatus() == QProcess::NormalExit
           && tool.exitCode() == 0;
}

inline QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The bytes with the lowest bit of one byte flipped.
inline QByteArray flipped(QByteArray bytes, qsizetype at)
{
    bytes[at] = char(bytes[at] ^ 0x01);
    return bytes;
}

// Makes a key pair without password named `name` in `folder`.
inline std::optional<MinisignKey> makeMinisignKey(const QString &folder, const QString &name)
{
    const QString base = folder + '/' + name;
    if (!runMinisign({"-G", "-W", "-p", base + ".pub", "-s", base + ".key"}))
        return std::nullopt;
    const QList<QByteArray> lines = readAll(base + ".pub").split('\n');
    if (lines.size() < 2)
        return std::nullopt;
    return MinisignKey {base + ".key", lines[1].trimmed()};
}

// Signs `bytes` with `key`, the trusted comment given, legacy or prehashed;
// returns the .minisig file's contents, empty when the tool failed.
inline QByteArray minisignSign(const MinisignKey &key, const QByteArray &bytes,
                               const QString &trustedComment, bool legacy, const QString &folder)
{
    const QString path = folder + QStringLiteral("/signed");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return {};
    file.close();
    QStringList arguments {"-S",          "-s", key.secretKeyFile, "-m",
                           path,          "-x", path + ".minisig", "-t",
                           trustedComment};
    if (legacy)
        arguments << "-l";
    return runMinisign(arguments) ? readAll(path + ".minisig") : QByteArray();
}
