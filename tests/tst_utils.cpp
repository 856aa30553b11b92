#include "base/Ansi.h"
#include "base/RuntimeError.h"
#include "base/Utils.h"
#include "platform/FileSystem.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return file.fileName();
}
} // namespace

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
        QTest::newRow("up-to-first") << "user:pw@host"
                                     << "@" << 1 << 1 << true << "user:pw";
        QTest::newRow("no-delimiter-rest") << "host"
                                           << ":" << 1 << 1 << true << "host";
        QTest::newRow("delimiter-at-start") << ":80"
                                            << ":" << 1 << 1 << true << "";
        QTest::newRow("start-zero") << "abc"
                                    << "b" << 0 << 1 << true << "";
        QTest::newRow("start-beyond-end") << "abc"
                                          << "b" << 4 << 1 << true << "";
        QTest::newRow("count-zero") << "abc"
                                    << "b" << 1 << 0 << true << "";
        QTest::newRow("second-hit") << "a,b,c"
                                    << "," << 1 << 2 << true << "a,b";
        QTest::newRow("from-middle") << "\"C:\\b.exe\" -x"
                                     << "\"" << 2 << 1 << true << "C:\\b.exe";
        QTest::newRow("case-sensitive-miss") << "aXb"
                                             << "x" << 1 << 1 << true << "aXb";
        QTest::newRow("case-insensitive-hit") << "aXb"
                                              << "x" << 1 << 1 << false << "a";
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
        if (caseSensitive)
            QCOMPARE(Utils::TextUpTo(text.toLatin1(), delimiter.toLatin1(), start, count),
                     expected.toLatin1());
    }

    void trimOneSpace_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("single-blank") << " "
                                      << "";
        QTest::newRow("three-blanks-keep-one") << "   "
                                               << " ";
        QTest::newRow("one-each-side-only") << "  a b  "
                                            << " a b ";
        QTest::newRow("tab-stays") << "\tx"
                                   << "\tx";
    }
    void trimOneSpace()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(Utils::trimOneSpace(value), expected);
        QCOMPARE(Utils::trimOneSpace(qint64(-5)), QStringLiteral("-5"));
    }

    void addBackslash()
    {
        QCOMPARE(Utils::addBackslash(QString()), QStringLiteral("/"));
        QCOMPARE(Utils::addBackslash(QStringLiteral("/opt/v")), QStringLiteral("/opt/v/"));
        QCOMPARE(Utils::addBackslash(QStringLiteral("/opt/v/")), QStringLiteral("/opt/v/"));
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

    void deleteReadOnly()
    {
        QTemporaryDir dir;
        const QString path = writeFile(dir, "Updater.exe", "MZ");
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        FileSystemObject fso;
        fso.DeleteFile(path, true);
        QVERIFY(!fso.FileExists(path));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, fso.DeleteFile(path, true));
        QVERIFY_THROWS_EXCEPTION(RuntimeError, fso.ReadAll(path, 1));
    }
};

QTEST_GUILESS_MAIN(tst_Utils)
#include "tst_utils.moc"
