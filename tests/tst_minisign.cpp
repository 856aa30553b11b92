#include "base/Minisign.h"
#include "update/SignedRelease.h"

#include "minisigntool.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Minisign::Verdict;

namespace {

// Names in the order of Minisign::Verdict, for readable failures.
QString verdictName(Verdict verdict)
{
    static const char *const names[] = {"Valid",
                                        "Malformed",
                                        "UnknownAlgorithm",
                                        "OtherKey",
                                        "BadFileSignature",
                                        "BadCommentSignature",
                                        "CryptoUnavailable"};
    return QString::fromLatin1(names[int(verdict)]);
}

// A binary file with line breaks and NUL bytes inside.
QByteArray payload()
{
    QByteArray bytes("MZ\x90\0\x03\0\r\n\n", 9);
    for (int i = 0; i < 5000; ++i)
        bytes += char((i * 131 + 7) % 256);
    return bytes;
}

// The lines of a .minisig: untrusted comment, signature, trusted comment,
// global signature.
enum Line { untrusted, signature, trusted, global };

QByteArray withLine(const QByteArray &minisig, Line line, const QByteArray &text)
{
    QList<QByteArray> lines = minisig.split('\n');
    lines[line] = text;
    return lines.join('\n');
}

QByteArray line(const QByteArray &minisig, Line which)
{
    return minisig.split('\n').value(which);
}

// Flips one decoded byte of a base64 line and encodes it again properly,
// so that only that byte differs.
QByteArray withFlippedByte(const QByteArray &minisig, Line which, qsizetype at)
{
    const QByteArray raw = QByteArray::fromBase64(line(minisig, which));
    return withLine(minisig, which, flipped(raw, at).toBase64());
}

QByteArray withBytes(const QByteArray &minisig, Line which, qsizetype at, const QByteArray &bytes)
{
    QByteArray raw = QByteArray::fromBase64(line(minisig, which));
    raw.replace(at, bytes.size(), bytes);
    return withLine(minisig, which, raw.toBase64());
}

constexpr qsizetype keyIdAt = 2;
constexpr qsizetype fileSignatureAt = 10;

} // namespace

Q_DECLARE_METATYPE(Minisign::Verdict)

class tst_Minisign : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> mDir;
    std::optional<MinisignKey> mKey;
    std::optional<MinisignKey> mOtherKey;

    QByteArray sign(const QByteArray &bytes, const char *comment, bool legacy,
                    const std::optional<MinisignKey> &key)
    {
        return minisignSign(*key, bytes, QString::fromUtf8(comment), legacy, mDir->path());
    }

    Minisign::PublicKey releaseKey() const { return *Minisign::parsePublicKey(mKey->publicLine); }

private Q_SLOTS:
    void initTestCase()
    {
        mDir = std::make_unique<QTemporaryDir>();
        QVERIFY(mDir->isValid());
        if (minisignProgram().isEmpty())
            return; // the rows that need the tool skip themselves
        mKey = makeMinisignKey(mDir->path(), "release");
        mOtherKey = makeMinisignKey(mDir->path(), "other");
        QVERIFY(mKey && mOtherKey);
    }

    // Signatures as the tool writes them, and each kind of change to the
    // file or the signature, with the verdict it must give.
    void verify_data()
    {
        if (!mKey)
            QSKIP("minisign is not installed");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QByteArray>("minisig");
        QTest::addColumn<Verdict>("verdict");

        const QByteArray file = payload();
        const QByteArray legacy = sign(file, "version: 1.2.0", true, mKey);
        const QByteArray hashed = sign(file, "version: 1.2.0", false, mKey);
        const QByteArray other = sign(file, "version: 1.2.0", false, mOtherKey);
        // Another file: Ed25519 is deterministic, so the same file would give
        // the same file signature, and its comment would be validly signed.
        const QByteArray otherComment = sign(file + "2", "version: 1.3.0", false, mKey);
        QVERIFY(!legacy.isEmpty() && !hashed.isEmpty() && !other.isEmpty());
        QVERIFY(line(legacy, signature).startsWith("RW")
                && line(hashed, signature).startsWith("RU"));

        QTest::newRow("legacy") << file << legacy << Verdict::Valid;
        QTest::newRow("prehashed") << file << hashed << Verdict::Valid;
        QTest::newRow("prehashed, empty file")
                << QByteArray() << sign({}, "version: 1.2.0", false, mKey) << Verdict::Valid;
        QTest::newRow("CR LF line ends")
                << file << QByteArray(hashed).replace("\n", "\r\n") << Verdict::Valid;
        QTest::newRow("no final line break") << file << hashed.chopped(1) << Verdict::Valid;

        QTest::newRow("legacy: file byte flipped")
                << flipped(file, 100) << legacy << Verdict::BadFileSignature;
        QTest::newRow("prehashed: last file byte flipped")
                << flipped(file, file.size() - 1) << hashed << Verdict::BadFileSignature;
        QTest::newRow("prehashed: file one byte short")
                << file.chopped(1) << hashed << Verdict::BadFileSignature;
        QTest::newRow("file signature byte flipped")
                << file << withFlippedByte(hashed, signature, fileSignatureAt + 20)
                << Verdict::BadFileSignature;
        QTest::newRow("legacy signature marked prehashed")
                << file << withBytes(legacy, signature, 0, "ED") << Verdict::BadFileSignature;
        QTest::newRow("unknown algorithm")
                << file << withBytes(hashed, signature, 0, "EE") << Verdict::UnknownAlgorithm;

        QTest::newRow("key id byte flipped")
                << file << withFlippedByte(hashed, signature, keyIdAt + 3) << Verdict::OtherKey;
        QTest::newRow("another key") << file << other << Verdict::OtherKey;
        const QByteArray ourKeyId = QByteArray::fromBase64(mKey->publicLine).mid(keyIdAt, 8);
        QTest::newRow("another key under our key id")
                << file << withBytes(other, signature, keyIdAt, ourKeyId)
                << Verdict::BadFileSignature;

        QTest::newRow("trusted comment edited")
                << file << withLine(hashed, trusted, "trusted comment: version: 1.3.0")
                << Verdict::BadCommentSignature;
        QTest::newRow("comment and global signature of another signature")
                << file
                << withLine(withLine(hashed, trusted, line(otherComment, trusted)), global,
                            line(otherComment, global))
                << Verdict::BadCommentSignature;
        QTest::newRow("global signature byte flipped")
                << file << withFlippedByte(hashed, global, 40) << Verdict::BadCommentSignature;

        QTest::newRow("empty") << file << QByteArray() << Verdict::Malformed;
        QTest::newRow("three lines")
                << file << hashed.left(hashed.lastIndexOf('\n', -2) + 1) << Verdict::Malformed;
        QTest::newRow("blank line after") << file << hashed + '\n' << Verdict::Malformed;
        QTest::newRow("no trusted comment prefix")
                << file << withLine(hashed, trusted, "version: 1.2.0") << Verdict::Malformed;
        QByteArray strayBits = line(hashed, signature);
        strayBits[strayBits.indexOf('=') - 1] ^= 0x01; // 74 bytes leave two unused bits
        QTest::newRow("signature with a stray bit")
                << file << withLine(hashed, signature, strayBits) << Verdict::Malformed;
        QTest::newRow("global signature without padding")
                << file << withLine(hashed, global, line(hashed, global).replace("=", ""))
                << Verdict::Malformed;
        QTest::newRow("signature line cut short")
                << file << withLine(hashed, signature, line(hashed, signature).left(96) + "==")
                << Verdict::Malformed;
        QTest::newRow("public key instead")
                << file << readAll(mDir->path() + "/release.pub") << Verdict::Malformed;
    }
    void verify()
    {
        QFETCH(QByteArray, file);
        QFETCH(QByteArray, minisig);
        QFETCH(Verdict, verdict);
        const Minisign::Result result = Minisign::verify(file, minisig, releaseKey());
        QCOMPARE(verdictName(result.verdict), verdictName(verdict));
        QCOMPARE(result.trustedComment,
                 verdict == Verdict::Valid ? QByteArray("version: 1.2.0") : QByteArray());
    }

    // One flipped bit anywhere in a .minisig is refused, except in the
    // untrusted comment's text, which no signature covers.
    void everyByteOfTheSignature_data()
    {
        if (!mKey)
            QSKIP("minisign is not installed");
        QTest::addColumn<bool>("legacy");
        QTest::newRow("legacy") << true;
        QTest::newRow("prehashed") << false;
    }
    void everyByteOfTheSignature()
    {
        QFETCH(bool, legacy);
        const QByteArray file = payload();
        const QByteArray minisig = sign(file, "version: 1.2.0", legacy, mKey);
        const qsizetype freeText = QByteArray("untrusted comment: ").size();
        const qsizetype firstLineEnd = minisig.indexOf('\n');
        for (qsizetype at = 0; at < minisig.size(); ++at) {
            const bool covered = at < freeText || at >= firstLineEnd;
            const Verdict verdict
                    = Minisign::verify(file, flipped(minisig, at), releaseKey()).verdict;
            QVERIFY2((verdict == Verdict::Valid) != covered,
                     qPrintable(QString("byte %1: %2").arg(at).arg(verdictName(verdict))));
        }
    }

    void publicKey_data()
    {
        if (!mKey)
            QSKIP("minisign is not installed");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        const QByteArray good = mKey->publicLine;
        QByteArray otherAlgorithm = QByteArray::fromBase64(good);
        otherAlgorithm[1] = 'D';
        QTest::newRow("base64 line") << good << true;
        QTest::newRow("blanks and line break around") << " \t" + good + "\r\n" << true;
        QTest::newRow("whole .pub file") << readAll(mDir->path() + "/release.pub") << false;
        QTest::newRow("one character short") << good.chopped(1) << false;
        QTest::newRow("padded") << good + "=" << false;
        QTest::newRow("another algorithm") << otherAlgorithm.toBase64() << false;
        QTest::newRow("blank inside") << good.left(20) + ' ' + good.mid(20) << false;
        QTest::newRow("empty") << QByteArray() << false;
    }
    void publicKey()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        const std::optional<Minisign::PublicKey> key = Minisign::parsePublicKey(text);
        QCOMPARE(key.has_value(), valid);
        if (valid) {
            const QByteArray raw = QByteArray::fromBase64(mKey->publicLine);
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(key->keyId.data()), 8),
                     raw.mid(2, 8));
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(key->key.data()), 32), raw.mid(10));
        }
    }

    // The version a trusted comment names; "none" for any other comment.
    void signedVersion_data()
    {
        QTest::addColumn<QByteArray>("comment");
        QTest::addColumn<QString>("version");
        QTest::newRow("as minisign -t writes it") << QByteArray("version: 1.2.0") << "1.2.0";
        QTest::newRow("no blank") << QByteArray("version:1.10.0") << "1.10.0";
        QTest::newRow("blanks after") << QByteArray("version: 2.0.1  ") << "2.0.1";
        QTest::newRow("capital V") << QByteArray("Version: 1.2.0") << "none";
        QTest::newRow("two numbers") << QByteArray("version: 1.2") << "none";
        QTest::newRow("default comment")
                << QByteArray("timestamp:1796573533\tfile:New.exe\thashed") << "none";
        QTest::newRow("more after the version")
                << QByteArray("version: 1.2.0\tfile:New.exe") << "none";
        QTest::newRow("two versions") << QByteArray("version: 1.1.0 version: 1.2.0") << "none";
        QTest::newRow("empty") << QByteArray() << "none";
    }
    void signedVersion()
    {
        QFETCH(QByteArray, comment);
        QFETCH(QString, version);
        const std::optional<Version> v = ::signedVersion(comment);
        QCOMPARE(v ? QString("%1.%2.%3").arg(v->major).arg(v->minor).arg(v->revision) : "none",
                 version);
    }
};

QTEST_MAIN(tst_Minisign)
#include "tst_minisign.moc"
