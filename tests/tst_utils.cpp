#include "support/Ansi.h"
#include "support/FileSystem.h"
#include "support/RuntimeError.h"
#include "support/Utils.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_Utils : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void textUpTo_data();
    void textUpTo();
    void textUpToBytes();
    void trimOneSpace_data();
    void trimOneSpace();
    void addBackslash_data();
    void addBackslash();
    void ansiRoundTrip();
    void readLines_data();
    void readLines();
    void overlongLineIsSkipped();
    void deleteReadOnly();
};

void tst_Utils::textUpTo_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("delimiter");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<QString>("expected");

    QTest::newRow("up-to-first") << "user:pw@host" << "@" << 1 << 1 << true << "user:pw";
    QTest::newRow("no-delimiter-rest") << "host" << ":" << 1 << 1 << true << "host";
    QTest::newRow("delimiter-at-start") << ":80" << ":" << 1 << 1 << true << "";
    QTest::newRow("start-zero") << "abc" << "b" << 0 << 1 << true << "";
    QTest::newRow("start-beyond-end") << "abc" << "b" << 4 << 1 << true << "";
    QTest::newRow("start-at-last") << "abc" << "x" << 3 << 1 << true << "c";
    QTest::newRow("count-zero") << "abc" << "b" << 1 << 0 << true << "";
    QTest::newRow("second-hit") << "a,b,c" << "," << 1 << 2 << true << "a,b";
    QTest::newRow("second-hit-missing") << "a,b" << "," << 1 << 2 << true << "a,b";
    QTest::newRow("from-middle") << "\"C:\\b.exe\" -x" << "\"" << 2 << 1 << true << "C:\\b.exe";
    QTest::newRow("case-sensitive-miss") << "aXb" << "x" << 1 << 1 << true << "aXb";
    QTest::newRow("case-insensitive-hit") << "aXb" << "x" << 1 << 1 << false << "a";
    QTest::newRow("crlf-delimiter") << "Transfer-Encoding: chunked\r\nX" << "\r\n" << 1 << 1 << true
                                    << "Transfer-Encoding: chunked";
}

void tst_Utils::textUpTo()
{
    QFETCH(QString, text);
    QFETCH(QString, delimiter);
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(bool, caseSensitive);
    QFETCH(QString, expected);
    QCOMPARE(Utils::TextUpTo(text, delimiter, start, count, caseSensitive), expected);
}

void tst_Utils::textUpToBytes()
{
    const QByteArray head("HTTP/1.1 200 OK\r\nA: b\r\n\r\nbody\r\n\r\n");
    QCOMPARE(Utils::TextUpTo(head, "\r\n\r\n", 1), QByteArray("HTTP/1.1 200 OK\r\nA: b"));
    QCOMPARE(Utils::TextUpTo(head, "\r\n\r\n", 1, 2), head.left(head.size() - 4));
    QCOMPARE(Utils::TextUpTo(head, "\r\n", head.size() + 1), QByteArray());
}

void tst_Utils::trimOneSpace_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << "" << "";
    QTest::newRow("single-blank") << " " << "";
    QTest::newRow("two-blanks") << "  " << "";
    QTest::newRow("three-blanks-keep-one") << "   " << " ";
    QTest::newRow("leading") << " 5" << "5";
    QTest::newRow("both") << " a b " << "a b";
    QTest::newRow("only-one-each-side") << "  x  " << " x ";
    QTest::newRow("tab-stays") << "\tx" << "\tx";
}

void tst_Utils::trimOneSpace()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);
    QCOMPARE(Utils::trimOneSpace(value), expected);
}

void tst_Utils::addBackslash_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty") << "" << "/";
    QTest::newRow("plain") << "/opt/verbodrom" << "/opt/verbodrom/";
    QTest::newRow("already") << "/opt/verbodrom/" << "/opt/verbodrom/";
    QTest::newRow("root") << "/" << "/";
}

void tst_Utils::addBackslash()
{
    QFETCH(QString, folder);
    QFETCH(QString, expected);
    QCOMPARE(Utils::addBackslash(folder), expected);
    QCOMPARE(Utils::trimOneSpace(qint64(-5)), QStringLiteral("-5"));
}

void tst_Utils::ansiRoundTrip()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    const QString text = Ansi::decode(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(text.at(0xE4), QChar(0x00E4)); // ä
    QCOMPARE(text.at(0x80), QChar(0x20AC)); // €
    QCOMPARE(Ansi::encode(text), all);
}

void tst_Utils::readLines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"};
    QTest::newRow("lf") << QByteArray("a\nb") << QStringList{"a", "b"};
    QTest::newRow("blank-lines") << QByteArray("\r\n\r\nx") << QStringList{"", "", "x"};
    QTest::newRow("ansi") << QByteArray("gr\xfc\xdf" "en\r\n") << QStringList{QStringLiteral("grüßen")};
    QTest::newRow("empty-file") << QByteArray() << QStringList{};
}

void tst_Utils::readLines()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, lines);
    QTemporaryDir dir;
    QFile file(dir.filePath("t.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    FileSystemObject fso;
    auto stream = fso.OpenTextFile(file.fileName());
    QStringList read;
    while (!stream->AtEndOfStream())
        read << stream->ReadLine();
    stream->Close();
    QCOMPARE(read, lines);
}

void tst_Utils::overlongLineIsSkipped()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("t.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("first\r\n");
    file.write(QByteArray(TextStream::MaxLineBytes + 10, 'x'));
    file.write("\r\nlast");
    file.close();

    auto stream = FileSystemObject().OpenTextFile(file.fileName());
    QCOMPARE(stream->ReadLine(), QStringLiteral("first"));
    QCOMPARE(stream->ReadLine(), QString());
    QVERIFY(stream->lineTooLong());
    QCOMPARE(stream->ReadLine(), QStringLiteral("last"));
    QVERIFY(!stream->lineTooLong());
    QVERIFY(stream->AtEndOfStream());
}

void tst_Utils::deleteReadOnly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("Updater.exe");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(file.setPermissions(QFileDevice::ReadOwner));

    FileSystemObject fso;
    fso.DeleteFile(path, true);
    QVERIFY(!fso.FileExists(path));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, fso.DeleteFile(path, true));
    QVERIFY_THROWS_EXCEPTION(RuntimeError, fso.OpenTextFile(path));
}

QTEST_GUILESS_MAIN(tst_Utils)
#include "tst_utils.moc"
