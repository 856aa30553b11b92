#include "base/Utils.h"
#include "platform/DefaultBrowser.h"
#include "platform/modRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
QString entry(const QString &exec)
{
    return "[Desktop Entry]\nExec=" + exec + "\n";
}
const QString Http = QStringLiteral("x-scheme-handler/http=");
const QString User = QStringLiteral("config/mimeapps.list");
const QString AppA = QStringLiteral("sysdata/applications/a.desktop");
} // namespace

class tst_Browser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void lookup_data();
    void lookup();
    void otherKeysReadEmpty();

private:
    std::unique_ptr<QTemporaryDir> mRoot;
    void write(const QString &path, const QString &content);
};

// Fresh XDG folders for every test, so nothing is read from the real home;
// a.desktop and b.desktop are installed in the system folder, and the user's
// list names a.desktop.
void tst_Browser::init()
{
    mRoot = std::make_unique<QTemporaryDir>();
    const QByteArray r = QFile::encodeName(mRoot->path());
    qputenv("HOME", r + "/home");
    qputenv("XDG_CONFIG_HOME", r + "/config");
    qputenv("XDG_CONFIG_DIRS", r + "/sysconfig");
    qputenv("XDG_DATA_HOME", r + "/data");
    qputenv("XDG_DATA_DIRS", r + "/sysdata:relative/ignored");
    qunsetenv("XDG_CURRENT_DESKTOP");
    write(AppA, entry("/usr/bin/a %u"));
    write("sysdata/applications/b.desktop", entry("b-browser --new %U"));
    write(User, Http + "a.desktop");
}

// A mimeapps.list gets its lines under [Default Applications], after a
// group whose http line must not be read.
void tst_Browser::write(const QString &path, const QString &content)
{
    QVERIFY(QDir(mRoot->path()).mkpath(path.section('/', 0, -2)));
    QFile file(mRoot->filePath(path));
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (path.endsWith("mimeapps.list"))
        file.write("[Added Associations]\n" + Http.toUtf8()
                   + "a.desktop\n"
                     "[Default Applications]\n");
    file.write(content.toUtf8());
}

// files: pairs of a path below the temporary root and its content, or of
// XDG_CURRENT_DESKTOP and its value. Rows on a.desktop's Exec check how the
// command is cut down to its program part.
void tst_Browser::lookup_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("browser");
    const QString longExec = "/" + QString(253, 'x');
    const QStringList lists {
            "config/gnome-mimeapps.list", Http + "a.desktop",        User,
            Http + "b.desktop",           "sysconfig/mimeapps.list", Http + "a.desktop"};

    QTest::newRow("quoted-with-switches")
            << QStringList {AppA, entry(R"("/opt/web\sbrowser/run" -nohome "%1")")}
            << R"("/opt/web browser/run")";
    QTest::newRow("quote-never-closed")
            << QStringList {AppA, entry(R"("/opt/web -x)")} << R"("/opt/web -x")";
    QTest::newRow("unquoted-with-blank") << QStringList {AppA, entry("/w/b -url %u")} << "/w/b";
    QTest::newRow("no-blank-254-chars") << QStringList {AppA, entry(longExec)} << longExec;
    QTest::newRow("255-chars-too-long") << QStringList {AppA, entry(longExec + "x")} << "";
    QTest::newRow("two-chars") << QStringList {AppA, entry("ab")} << "";
    QTest::newRow("three-chars") << QStringList {AppA, entry("abc")} << "abc";
    QTest::newRow("desktop-list-first")
            << QStringList {"XDG_CURRENT_DESKTOP", "ubuntu:GNOME"} + lists << "/usr/bin/a";
    QTest::newRow("user-list-over-system-other-desktop-unread")
            << QStringList {"XDG_CURRENT_DESKTOP", "KDE"} + lists << "b-browser";
    // Not installed: no file, hidden in the user's folder (masking the
    // system's), Exec only in another group; the next list is read then.
    QTest::newRow("uninstalled-passed-over")
            << QStringList {User,
                            Http + "gone.desktop; ;a.desktop;c.desktop",
                            "sysconfig/mimeapps.list",
                            Http + "b.desktop",
                            "data/applications/a.desktop",
                            "[Desktop Entry]\nHidden=true\nExec=/a\n",
                            "sysdata/applications/c.desktop",
                            "[Desktop Entry]\n[Desktop Action n]\nExec=/c\n"}
            << "b-browser";
    QTest::newRow("html-when-http-not-installed")
            << QStringList {User, Http + "gone.desktop\ntext/html=b.desktop"} << "b-browser";
    QTest::newRow("subfolder-id") << QStringList {User,
                                                  "",
                                                  "data/applications/mimeapps.list",
                                                  Http + "kde4-web-x.desktop",
                                                  "sysdata/applications/kde4/web-x.desktop",
                                                  entry("/k %u")}
                                  << "/k";
    QTest::newRow("nothing-registered") << QStringList {User, ""} << "";
}

void tst_Browser::lookup()
{
    QFETCH(QStringList, files);
    QFETCH(QString, browser);
    for (qsizetype i = 0; i + 1 < files.size(); i += 2) {
        if (files.at(i).startsWith("XDG_"))
            qputenv(files.at(i).toLatin1(), files.at(i + 1).toUtf8());
        else
            write(files.at(i), files.at(i + 1));
    }
    QCOMPARE(Utils::getDefaultBrowser(), browser);
}

void tst_Browser::otherKeysReadEmpty()
{
    using namespace modRegistry;
    const QString a = QStringLiteral("a.desktop\\shell\\open\\command");
    QCOMPARE(regQueryString(HKEY_CLASSES_ROOT, a, "x"), "");
    QCOMPARE(regQueryString(0x80000001u, a, ""), "");
    QCOMPARE(regQueryString(HKEY_CLASSES_ROOT, "../applications/" + a, ""), "");
}

QTEST_GUILESS_MAIN(tst_Browser)
#include "tst_browser.moc"
