#include "support/RuntimeError.h"
#include "support/modBase64.h"

#include <QTest>

class tst_Base64 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encode_data();
    void encode();
    void aboveByteRangeRefused_data();
    void aboveByteRangeRefused();
};

void tst_Base64::encode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");

    // RFC 4648, section 10.
    QTest::newRow("rfc-empty") << "" << "";
    QTest::newRow("rfc-f") << "f" << "Zg==";
    QTest::newRow("rfc-fo") << "fo" << "Zm8=";
    QTest::newRow("rfc-foo") << "foo" << "Zm9v";
    QTest::newRow("rfc-foob") << "foob" << "Zm9vYg==";
    QTest::newRow("rfc-fooba") << "fooba" << "Zm9vYmE=";
    QTest::newRow("rfc-foobar") << "foobar" << "Zm9vYmFy";
    QTest::newRow("umlaut-single-byte") << QString::fromUtf8("ä") << "5A==";
    QTest::newRow("byte-255-and-0") << QString(QChar(0xFF)) + QChar(0) + QChar(0x3E) << "/wA+";
    QTest::newRow("whole-alphabet-one-line") << QString::fromLatin1(QByteArray::fromBase64(
                                           "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"))
                                    << "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}

void tst_Base64::encode()
{
    QFETCH(QString, text);
    const QString before = text;
    QTEST(modBase64::encodeBase64(text), "expected");
    QCOMPARE(text, before);
}

void tst_Base64::aboveByteRangeRefused_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("euro-sign") << QString::fromUtf8("pw€");
    QTest::newRow("last-of-group") << QStringLiteral("ab") + QChar(0x1234);
    QTest::newRow("surrogate-pair") << QString::fromUtf8("\xF0\x9F\x98\x80");
}

void tst_Base64::aboveByteRangeRefused()
{
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(RuntimeError, modBase64::encodeBase64(text));
}

QTEST_APPLESS_MAIN(tst_Base64)
#include "tst_base64.moc"
