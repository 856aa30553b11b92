#include "base/Ansi.h"
#include "base/RuntimeError.h"
#include "base/Utils.h"
#include "base/modBase64.h"
#include "platform/FileSystem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class tst_Utils : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void textUpTo_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("caseSensitive");
        QTest::addColumn<QString>("expected");
        // The browser lookup covers the plain cuts; these are the edges.
        const auto row = [](const char *tag, const char *text, const char *delimiter, int start,
                            int count, bool caseSensitive, const char *expected) {
            QTest::newRow(tag) << text << delimiter << start << count << caseSensitive << expected;
        };
        row("delimiter-at-start", ":80", ":", 1, 1, true, "");
        row("start-zero", "abc", "b", 0, 1, true, "");
        row("start-beyond-end", "abc", "b", 4, 1, true, "");
        row("count-zero", "abc", "b", 1, 0, true, "");
        row("second-hit", "a,b,c", ",", 1, 2, true, "a,b");
        row("case-sensitive-miss", "aXb", "x", 1, 1, true, "aXb");
        row("case-insensitive-hit", "aXb", "x", 1, 1, false, "a");
    }
    void textUpTo()
    {
        QFETCH(QString, text);
        QFETCH(QString, delimiter);
        QFETCH(int, start);
        QFETCH(int, count);
        QFETCH(bool, caseSensitive);
        QTEST(Utils::TextUpTo(text, delimiter, start, count, caseSensitive), "expected");
    }

    // RFC 4648's "foobar" prefixes; Latin-1 single bytes, a character above refused.
    void base64()
    {
        const QStringList rfc {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
        for (int n = 0; n < rfc.size(); ++n)
            QCOMPARE(modBase64::encodeBase64(QStringLiteral("foobar").left(n)), rfc.at(n));
        QCOMPARE(modBase64::encodeBase64(QString(QChar(0xFF)) + QChar(0) + QChar(0x3E)), "/wA+");
        QVERIFY_THROWS_EXCEPTION(RuntimeError,
                                 modBase64::encodeBase64(QStringLiteral("ab") + QChar(0x20AC)));
    }

    void ansiRoundTrip()
    {
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(char(i));
        const QString text = Ansi::decode(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(text.at(0x80), QChar(0x20AC)); // €
        QCOMPARE(Ansi::encode(text), all);
    }

    // DeleteFile deletes the name, never a link's target; failures are raised.
    void deleteFile_data()
    {
        QTest::addColumn<QString>("kind"); // file, read-only, link, folder, missing
        QTest::addColumn<bool>("force");
        QTest::addColumn<int>("error"); // 0: deleted
        QTest::newRow("file") << "file" << false << 0;
        QTest::newRow("read-only, force") << "read-only" << true << 0;
        QTest::newRow("read-only") << "read-only" << false << int(RuntimeError::PermissionDenied);
        QTest::newRow("link to a read-only file") << "link" << true << 0;
        QTest::newRow("folder") << "folder" << true << int(RuntimeError::PermissionDenied);
        QTest::newRow("missing") << "missing" << true << int(RuntimeError::FileNotFound);
    }
    void deleteFile()
    {
        QFETCH(QString, kind);
        QFETCH(bool, force);
        QTemporaryDir dir;
        const QString name = dir.filePath("Updater.exe");
        const QString target = dir.filePath("target");
        QFile(target).open(QIODevice::WriteOnly);
        QFile::setPermissions(target, QFileDevice::ReadOwner);
        if (kind == "file" || kind == "read-only")
            QVERIFY(QFile::copy(target, name));
        else if (kind.endsWith("link"))
            QVERIFY(QFile::link(target, name));
        else if (kind == "folder")
            QVERIFY(QDir(dir.path()).mkdir("Updater.exe"));
        if (kind == "file" || kind == "read-only")
            QFile::setPermissions(name, kind == "file"
                                                ? QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                : QFileDevice::ReadOwner);
        int error = 0;
        try {
            FileSystemObject().DeleteFile(name, force);
        } catch (const RuntimeError &e) {
            error = e.number();
        }
        QTEST(error, "error");
        QCOMPARE(QFileInfo(name).exists() || QFileInfo(name).isSymLink(),
                 error != 0 && kind != "missing");
        QCOMPARE(QFile::permissions(target) & 0x7077, QFileDevice::ReadOwner);
        QCOMPARE(QFileInfo(target).exists(), true);
    }

    void readAllMissingThrows()
    {
        QTemporaryDir dir;
        QVERIFY_THROWS_EXCEPTION(RuntimeError,
                                 FileSystemObject().ReadAll(dir.filePath("New.exe"), 1));
    }
};

QTEST_GUILESS_MAIN(tst_Utils)
#include "tst_utils.moc"
