#include "base/RuntimeError.h"
#include "base/modBase64.h"

#include <QTest>

class tst_Base64 : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void encode_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        // RFC 4648, section 10: the prefixes of "foobar", every padding length.
        const QStringList rfc {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
        for (int n = 0; n < rfc.size(); ++n)
            QTest::addRow("rfc-%d", n) << QStringLiteral("foobar").left(n) << rfc.at(n);
        // Latin-1 characters are single bytes; also the last two letters.
        QTest::newRow("bytes-255-0-62") << QString(QChar(0xFF)) + QChar(0) + QChar(0x3E) << "/wA+";
    }
    void encode()
    {
        QFETCH(QString, text);
        QTEST(modBase64::encodeBase64(text), "expected");
    }

    // Checked for every character, not only the first of a group of three.
    void aboveByteRangeRefused()
    {
        QVERIFY_THROWS_EXCEPTION(RuntimeError,
                                 modBase64::encodeBase64(QStringLiteral("ab") + QChar(0x20AC)));
    }
};

QTEST_APPLESS_MAIN(tst_Base64)
#include "tst_base64.moc"
