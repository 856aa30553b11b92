#include "base/Utils.h"
#include "platform/DefaultBrowser.h"
#include "platform/DesktopExec.h"
#include "platform/modRegistry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/stat.h>

namespace {
QString entry(const QString &exec)
{
    return "[Desktop Entry]\nExec=" + exec + "\n";
}
const QString Http = QStringLiteral("x-scheme-handler/http=");
const QString User = QStringLiteral("config/mimeapps.list");
const QString AppA = QStringLiteral("sysdata/applications/a.desktop");
// Contents that write() turns into a FIFO, or into a symbolic link to the
// path that follows the arrow.
const QString Fifo = QStringLiteral("<fifo>");
const QString LinkTo = QStringLiteral("-> ");
const QString Home = QStringLiteral("www.verbodrom.example");
} // namespace

class tst_Browser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void lookup_data();
    void lookup();
    void otherKeysReadEmpty();
    void splitExec_data();
    void splitExec();
    void browserStart_data();
    void browserStart();

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
    const QString full = mRoot->filePath(path);
    QFile::remove(full);
    if (content == Fifo) {
        QCOMPARE(::mkfifo(QFile::encodeName(full).constData(), 0600), 0);
        return;
    }
    if (content.startsWith(LinkTo)) {
        QVERIFY(QFile::link(content.mid(LinkTo.size()), full));
        return;
    }
    QFile file(full);
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
    QTest::newRow("hidden-passed-over")
            << QStringList {User, Http + "a.desktop;b.desktop", AppA,
                            "[Desktop Entry]\nExec=/usr/bin/a %u\nHidden=true\n"}
            << "b-browser";

    // Hostile files, each answered at once: a FIFO that would block the read,
    // a link to an endless device, a list whose line lies past the read cap.
    const QStringList systemList {"sysconfig/mimeapps.list", Http + "b.desktop"};
    QTest::newRow("mimeapps-fifo") << QStringList {User, Fifo} + systemList << "b-browser";
    QTest::newRow("mimeapps-dev-zero")
            << QStringList {User, LinkTo + "/dev/zero"} + systemList << "b-browser";
    QTest::newRow("line-past-64KiB-unread")
            << QStringList {User, QString(70000, '#') + "\n" + Http + "b.desktop\n"} << "";
    // Every part of the id names a folder (links back to the same one), so
    // trying every split of the 20 parts would take about 2^19 looks.
    QStringList links {User,
                       Http + "x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-x-gone.desktop;b.desktop"};
    for (QString name = "x"; name.size() < 40; name += "-x")
        links << "sysdata/applications/" + name << LinkTo + ".";
    QTest::newRow("20-part-id-linear") << links << "b-browser";
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
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(Utils::getDefaultBrowser(), browser);
    QCOMPARE_LT(timer.elapsed(), 1000);
}

void tst_Browser::otherKeysReadEmpty()
{
    using namespace modRegistry;
    const QString a = QStringLiteral("a.desktop\\shell\\open\\command");
    QCOMPARE(regQueryString(HKEY_CLASSES_ROOT, a, "x"), "");
    QCOMPARE(regQueryString(0x80000001u, a, ""), "");
    QCOMPARE(regQueryString(HKEY_CLASSES_ROOT, "../applications/" + a, ""), "");
}

// Splitting alone; an empty list stands for "cannot be split".
void tst_Browser::splitExec_data()
{
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("blanks-and-tabs") << " a \t b  %u " << QStringList {"a", "b", "%u"};
    QTest::newRow("empty-quoted-argument") << R"(a "" b)" << QStringList {"a", "", "b"};
    QTest::newRow("escapes-in-quotes") << R"(a "q\"\`\$\\\x")" << QStringList {"a", R"(q"`$\\x)"};
    QTest::newRow("escape-outside-quotes") << R"(a\ b c)" << QStringList {"a b", "c"};
    QTest::newRow("quote-joins-plain-text") << R"(--p="a b"c)" << QStringList {"--p=a bc"};
    QTest::newRow("unclosed-quote") << R"("a b)" << QStringList {};
    QTest::newRow("trailing-backslash") << R"(a \)" << QStringList {};
    QTest::newRow("blank-only") << "  " << QStringList {};
}

void tst_Browser::splitExec()
{
    QFETCH(QString, exec);
    QFETCH(QStringList, arguments);
    QCOMPARE(DesktopExec::splitDesktopExec(exec).value_or(QStringList {}), arguments);
}

// What the homepage button starts: program first, then its arguments.
void tst_Browser::browserStart_data()
{
    QTest::addColumn<QString>("exec");
    QTest::addColumn<QStringList>("start");
    QTest::newRow("plain") << "firefox %u" << QStringList {"firefox", Home};
    QTest::newRow("quoted-path-with-blank") << R"("/opt/web browser/run" --new %U)"
                                            << QStringList {"/opt/web browser/run", "--new", Home};
    QTest::newRow("env-wrapper") << "env VAR=x /snap/bin/firefox %u"
                                 << QStringList {"env", "VAR=x", "/snap/bin/firefox", Home};
    QTest::newRow("flatpak")
            << "flatpak run --branch=stable org.mozilla.firefox @@u %u @@"
            << QStringList {"flatpak", "run", "--branch=stable", "org.mozilla.firefox", "@@u",
                            Home,      "@@"};
    QTest::newRow("no-field-code-appends")
            << "/usr/bin/w -new" << QStringList {"/usr/bin/w", "-new", Home};
    QTest::newRow("percent-escapes")
            << "w --zoom=100%% %%u %u" << QStringList {"w", "--zoom=100%", "%u", Home};
    QTest::newRow("url-once-other-codes-dropped")
            << "w %i %c %k --file=%f %U -x%c" << QStringList {"w", "--file=" + Home, "-x"};
    QTest::newRow("unsplittable-falls-back-to-program-part")
            << R"("/opt/web -x)" << QStringList {"/opt/web -x", Home};
    QTest::newRow("code-only-names-no-program") << "%u x" << QStringList {Home, "x"};
    QTest::newRow("two-chars-starts-nothing") << "ab" << QStringList {};
}

void tst_Browser::browserStart()
{
    QFETCH(QString, exec);
    QFETCH(QStringList, start);
    QCOMPARE(Utils::browserStart(exec, Home), start);
}

QTEST_GUILESS_MAIN(tst_Browser)
#include "tst_browser.moc"
