#pragma once

// Throw-away keys and signatures made by the real minisign tool.

#include "testsupport.h"

#include <QByteArray>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <optional>

struct MinisignKey
{
    QString secretKeyFile;
    QByteArray publicLine; // the base64 line of the .pub file
};

// Runs minisign with `arguments`, at most ten seconds; true when it exits 0.
inline bool runMinisign(const QStringList &arguments)
{
    QProcess tool;
    tool.start(QStandardPaths::findExecutable(QStringLiteral("minisign")), arguments);
    tool.closeWriteChannel();
    return tool.waitForFinished(10000) && tool.exitStatus() == QProcess::NormalExit
           && tool.exitCode() == 0;
}

// The bytes with the lowest bit of one byte flipped.
inline QByteArray flipped(QByteArray bytes, qsizetype at)
{
    bytes[at] = char(bytes[at] ^ 0x01);
    return bytes;
}

// The lines of a .minisig.
enum MinisigLine { untrusted, signature, trusted, global };

inline QByteArray line(const QByteArray &minisig, MinisigLine which)
{
    return minisig.split('\n').value(which);
}

inline QByteArray withLine(const QByteArray &minisig, MinisigLine which, const QByteArray &text)
{
    QList<QByteArray> lines = minisig.split('\n');
    lines[which] = text;
    return lines.join('\n');
}

// The keys "release" and "other" in a folder of their own; unset without the tool.
struct MinisignKeys
{
    QTemporaryDir folder;
    std::optional<MinisignKey> key;
    std::optional<MinisignKey> other;

    // For initTestCase(): false only when the tool is there and fails.
    bool make()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("minisign")).isEmpty())
            return folder.isValid();
        for (auto [name, made] : {std::pair {"/release", &key}, std::pair {"/other", &other}}) {
            const QString base = folder.path() + name;
            if (!runMinisign({"-G", "-W", "-p", base + ".pub", "-s", base + ".key"}))
                return false;
            *made = MinisignKey {base + ".key",
                                 fileBytes(base + ".pub").split('\n').value(1).trimmed()};
        }
        return !key->publicLine.isEmpty() && !other->publicLine.isEmpty();
    }

    // The .minisig of `bytes` (legacy or prehashed) by `signer`, else the release
    // key; empty without a key or when the tool failed.
    QByteArray sign(const QByteArray &bytes, const char *comment, bool legacy = false,
                    const MinisignKey *signer = nullptr) const
    {
        const QString path = folder.filePath(QStringLiteral("signed"));
        if (!signer && key)
            signer = &*key;
        if (!signer || !writeBytes(path, bytes))
            return {};
        QStringList arguments {"-S", "-m", path, "-x", path + ".minisig", "-t"};
        arguments << QString::fromUtf8(comment) << "-s" << signer->secretKeyFile;
        if (legacy)
            arguments << "-l";
        return runMinisign(arguments) ? fileBytes(path + ".minisig") : QByteArray();
    }
};
