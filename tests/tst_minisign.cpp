#include "base/Minisign.h"
#include "update/HeldRelease.h"

#include "minisigntool.h"

#include <QTest>

using Minisign::Verdict;

namespace {

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

// Arbitrary edits of signatures and keys are the minisign_verify fuzz target's;
// these rows name the faults one by one. Key lines: tst_update's signed chain.
class tst_Minisign : public QObject
{
    Q_OBJECT

    MinisignKeys mKeys;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(mKeys.make());
        if (!mKeys.key)
            QSKIP("minisign is not installed");
    }

    // Signatures as the tool writes them, and each change with its verdict.
    void verify_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("minisig");
        QTest::addColumn<Verdict>("verdict");
        // A binary file with line breaks and NUL bytes inside.
        const QByteArray file = QByteArray("MZ\x90\0\x03\r\n\n\xFF", 9).repeated(600);
        const QByteArray legacy = mKeys.sign(file, "version: 1.2.0", true);
        const QByteArray hashed = mKeys.sign(file, "version: 1.2.0");
        const QByteArray other = mKeys.sign(file, "version: 1.2.0", false, &*mKeys.other);
        // Another file's signature, since Ed25519 signs the same file alike.
        const QByteArray otherComment = mKeys.sign(file + "2", "version: 1.3.0");
        QVERIFY(line(legacy, signature).startsWith("RW") && line(hashed, signature).startsWith("RU")
                && !other.isEmpty());
        const auto row = [](const char *name, const QByteArray &file, const QByteArray &minisig,
                            Verdict verdict) { QTest::newRow(name) << file << minisig << verdict; };
        row("legacy", file, legacy, Verdict::Valid);
        row("prehashed", file, hashed, Verdict::Valid);
        row("prehashed, empty file", {}, mKeys.sign({}, "version: 1.2.0"), Verdict::Valid);
        row("no final line break", file, hashed.chopped(1), Verdict::Valid);
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
    }
    void verify()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, minisig);
        QFETCH(Verdict, verdict);
        const Minisign::Result result
                = Minisign::verify(file, minisig, *Minisign::parsePublicKey(mKeys.key->publicLine));
        QCOMPARE(int(result.verdict), int(verdict));
        QCOMPARE(result.trustedComment,
                 verdict == Verdict::Valid ? QByteArray("version: 1.2.0") : QByteArray());
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
