#include "base/Minisign.h"
#include "update/HeldRelease.h"

#include "minisigntool.h"

#include <QTest>

using Minisign::Verdict;

namespace {

// A binary file with line breaks and NUL bytes inside.
QByteArray payload()
{
    QByteArray bytes("MZ\x90\0\x03\0\r\n\n", 9);
    for (int i = 0; i < 5000; ++i)
        bytes += char((i * 131 + 7) % 256);
    return bytes;
}

QByteArray withBytes(const QByteArray &minisig, MinisigLine which, qsizetype at,
                     const QByteArray &bytes)
{
    QByteArray raw = QByteArray::fromBase64(line(minisig, which));
    raw.replace(at, bytes.size(), bytes);
    return withLine(minisig, which, raw.toBase64());
}

constexpr qsizetype keyIdAt = 2;

} // namespace

Q_DECLARE_METATYPE(Minisign::Verdict)

class tst_Minisign : public QObject
{
    Q_OBJECT

    MinisignKeys mKeys;

    Minisign::PublicKey releaseKey() const
    {
        return *Minisign::parsePublicKey(mKeys.key->publicLine);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(mKeys.make()); }

    // Signatures as the tool writes them, and each change with its verdict.
    void verify_data()
    {
        if (!mKeys.key)
            QSKIP("minisign is not installed");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("minisig");
        QTest::addColumn<Verdict>("verdict");
        const QByteArray file = payload();
        const QByteArray legacy = mKeys.sign(file, "version: 1.2.0", true);
        const QByteArray hashed = mKeys.sign(file, "version: 1.2.0");
        const QByteArray other = mKeys.sign(file, "version: 1.2.0", false, &*mKeys.other);
        // Another file's signature, since Ed25519 signs the same file alike.
        const QByteArray otherComment = mKeys.sign(file + "2", "version: 1.3.0");
        QVERIFY(!legacy.isEmpty() && !hashed.isEmpty() && !other.isEmpty());
        QVERIFY(line(legacy, signature).startsWith("RW")
                && line(hashed, signature).startsWith("RU"));
        const auto row = [](const char *name, const QByteArray &file, const QByteArray &minisig,
                            Verdict verdict) { QTest::newRow(name) << file << minisig << verdict; };
        row("legacy", file, legacy, Verdict::Valid);
        row("prehashed", file, hashed, Verdict::Valid);
        row("prehashed, empty file", {}, mKeys.sign({}, "version: 1.2.0"), Verdict::Valid);
        row("no final line break", file, hashed.chopped(1), Verdict::Valid);
        row("legacy: file byte flipped", flipped(file, 100), legacy, Verdict::BadFileSignature);
        row("prehashed: last file byte flipped", flipped(file, file.size() - 1), hashed,
            Verdict::BadFileSignature);
        row("legacy signature marked prehashed", file, withBytes(legacy, signature, 0, "ED"),
            Verdict::BadFileSignature);
        row("another key", file, other, Verdict::OtherKey);
        const QByteArray ourKeyId = QByteArray::fromBase64(mKeys.key->publicLine).mid(keyIdAt, 8);
        row("another key under our key id", file, withBytes(other, signature, keyIdAt, ourKeyId),
            Verdict::BadFileSignature);
        row("comment and global signature of another signature", file,
            withLine(withLine(hashed, trusted, line(otherComment, trusted)), global,
                     line(otherComment, global)),
            Verdict::BadCommentSignature);
        row("empty", file, {}, Verdict::Malformed);
        row("blank line after", file, hashed + '\n', Verdict::Malformed);
        row("public key instead", file, fileBytes(mKeys.folder.filePath("release.pub")),
            Verdict::Malformed);
    }
    void verify()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, minisig);
        QFETCH(Verdict, verdict);
        const Minisign::Result result = Minisign::verify(file, minisig, releaseKey());
        QCOMPARE(int(result.verdict), int(verdict));
        QCOMPARE(result.trustedComment,
                 verdict == Verdict::Valid ? QByteArray("version: 1.2.0") : QByteArray());
    }

    // A flipped bit anywhere but in the untrusted comment's text is refused.
    void everyByteOfTheSignature()
    {
        if (!mKeys.key)
            QSKIP("minisign is not installed");
        const QByteArray file = payload();
        const qsizetype freeText = QByteArray("untrusted comment: ").size();
        for (bool legacy : {true, false}) {
            const QByteArray minisig = mKeys.sign(file, "version: 1.2.0", legacy);
            for (qsizetype at = 0; at < minisig.size(); ++at) {
                const bool covered = at < freeText || at >= minisig.indexOf('\n');
                const Verdict verdict
                        = Minisign::verify(file, flipped(minisig, at), releaseKey()).verdict;
                QVERIFY2((verdict == Verdict::Valid) != covered,
                         qPrintable(QString("byte %1, legacy %2").arg(at).arg(legacy)));
            }
        }
    }

    void publicKey_data()
    {
        if (!mKeys.key)
            QSKIP("minisign is not installed");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        const QByteArray good = mKeys.key->publicLine;
        QByteArray otherAlgorithm = QByteArray::fromBase64(good);
        otherAlgorithm[1] = 'D';
        QTest::newRow("base64 line") << good << true;
        QTest::newRow("blanks and line break around") << " \t" + good + "\r\n" << true;
        QTest::newRow("whole .pub file")
                << fileBytes(mKeys.folder.filePath("release.pub")) << false;
        QTest::newRow("one character short") << good.chopped(1) << false;
        QTest::newRow("another algorithm") << otherAlgorithm.toBase64() << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void publicKey()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        const std::optional<Minisign::PublicKey> key = Minisign::parsePublicKey(text);
        QCOMPARE(key.has_value(), valid);
        const auto bytes = [](const auto &array) {
            return QByteArray(reinterpret_cast<const char *>(array.data()), array.size());
        };
        if (valid) // key id, then key, as the base64 line holds them
            QCOMPARE(bytes(key->keyId) + bytes(key->key),
                     QByteArray::fromBase64(mKeys.key->publicLine).mid(2));
    }

    // What a trusted comment says a signature is for; "none" for any other.
    void signedFor_data()
    {
        QTest::addColumn<QByteArray>("comment");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *comment, const char *expected) {
            QTest::newRow(comment) << QByteArray(comment) << QString::fromLatin1(expected);
        };
        row("version: 1.2.0 file: New.exe", "1.2.0 New.exe");
        row("version:2.0.1\tfile:Updater.exe  ", "2.0.1 Updater.exe");
        row("version: 1.2.0", "none");
        row("version: 1.2.0 file: ", "none");
        row("version: 1.2.0 file: New.exe x", "none");
        row("version: 1.2 file: New.exe", "none");
        row("Version: 1.2.0 file: New.exe", "none");
        row("version: 1.2.0 name: New.exe", "none");
        row("", "none");
    }
    void signedFor()
    {
        QFETCH(QByteArray, comment);
        const std::optional<SignedFor> f = ::signedFor(comment);
        QTEST(f ? QString("%1.%2.%3 %4")
                              .arg(f->version.major)
                              .arg(f->version.minor)
                              .arg(f->version.revision)
                              .arg(QString::fromLatin1(f->fileName))
                : "none",
              "expected");
    }
};

QTEST_MAIN(tst_Minisign)
#include "tst_minisign.moc"
