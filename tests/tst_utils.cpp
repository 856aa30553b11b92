#include "base/Ansi.h"
#include "base/RuntimeError.h"
#include "base/Utils.h"
#include "platform/FileSystem.h"

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
        const auto row = [](const char *tag, const QString &text, const QString &delimiter,
                            int start, int count, bool caseSensitive, const QString &expected) {
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
        QFETCH(QString, expected);
        QCOMPARE(Utils::TextUpTo(text, delimiter, start, count, caseSensitive), expected);
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

    // Failures are raised, never passed over as success.
    void missingFileThrows()
    {
        QTemporaryDir dir;
        FileSystemObject fso;
        QVERIFY_THROWS_EXCEPTION(RuntimeError, fso.DeleteFile(dir.filePath("Updater.exe"), true));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, fso.ReadAll(dir.filePath("New.exe"), 1));
    }
};

QTEST_GUILESS_MAIN(tst_Utils)
#include "tst_utils.moc"
