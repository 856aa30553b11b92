#include "support/DefaultBrowser.h"
#include "support/Utils.h"
#include "support/modRegistry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using modRegistry::HKEY_CLASSES_ROOT;

namespace {
QString entry(const QString &exec, const QString &more = QString())
{
    return "[Desktop Entry]\nType=Application\nName[de]=Netz\n" + more
           + (exec.isNull() ? QString() : "Exec=" + exec + "\n");
}
const QString Http = QStringLiteral("x-scheme-handler/http=");
const QString User = QStringLiteral("config/mimeapps.list");
const QString System = QStringLiteral("sysconfig/mimeapps.list");
const QString AppA = QStringLiteral("sysdata/applications/a.desktop");
} // namespace

class tst_Browser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void programPart_data();
    void programPart();
    void lookup_data();
    void lookup();
    void otherKeysReadEmpty();

private:
    std::unique_ptr<QTemporaryDir> mRoot;
    void write(const QString &path, const QString &content);
};

// Fresh XDG folders for every test, so nothing is read from the real home.
// Every test finds a.desktop and b.desktop installed in the system folder.
void tst_Browser::init()
{
    mRoot = std::make_unique<QTemporaryDir>();
    QVERIFY(mRoot->isValid());
    const QByteArray r = QFile::encodeName(mRoot->path());
    qputenv("HOME", r + "/home");
    qputenv("XDG_CONFIG_HOME", r + "/config");
    qputenv("XDG_CONFIG_DIRS", r + "/sysconfig");
    qputenv("XDG_DATA_HOME", r + "/data");
    qputenv("XDG_DATA_DIRS", r + "/sysdata:relative/ignored");
    qunsetenv("XDG_CURRENT_DESKTOP");
    write(AppA, entry("/usr/bin/a %u"));
    write("sysdata/applications/b.desktop", entry("b-browser --new %U"));
}

// A mimeapps.list gets its lines under [Default Applications].
void tst_Browser::write(const QString &path, const QString &content)
{
    const QString full = mRoot->filePath(path);
    QVERIFY(QDir().mkpath(full.section('/', 0, -2)));
    QFile file(full);
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (path.endsWith("mimeapps.list"))
        file.write("[Added Associations]\n" + Http.toUtf8() + "a.desktop\n"
                   "[Default Applications]\n");
    file.write(content.toUtf8());
}

void tst_Browser::programPart_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("expected");
    QTest::newRow("quoted-with-switches") << R"("C:\Program Files\Web\b.exe" -nohome "%1")"
                                          << R"("C:\Program Files\Web\b.exe")";
    QTest::newRow("quoted-field-code") << R"("/opt/web b/run" %U)" << R"("/opt/web b/run")";
    QTest::newRow("quote-never-closed") << R"("/opt/web -x)" << R"("/opt/web -x")";
    QTest::newRow("unquoted-with-blank") << R"(C:\PROGRA~1\WEB\BROWSER.EXE -url "%1")"
                                         << R"(C:\PROGRA~1\WEB\BROWSER.EXE)";
    QTest::newRow("no-blank") << "/usr/bin/browser" << "/usr/bin/browser";
    QTest::newRow("leading-blank") << " browser -x" << "";
    QTest::newRow("two-chars") << "ab" << "";
    QTest::newRow("three-chars") << "abc" << "abc";
}

void tst_Browser::programPart()
{
    QFETCH(QString, command);
    QFETCH(QString, expected);
    QCOMPARE(Utils::browserProgramPart(command), expected);
}

// files: alternating path below the temporary root and content.
void tst_Browser::lookup_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("desktop");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("browser");
    const QString longExec = "/" + QString(253, 'x');
    const QString gnome = QStringLiteral("config/gnome-mimeapps.list");

    const QString hiddenA = entry("/usr/bin/a", "Hidden=true\n");

    QTest::newRow("user-list-over-system")
        << QStringList{User, Http + "b.desktop", System, Http + "a.desktop"}
        << "" << "b.desktop" << "b-browser";
    QTest::newRow("desktop-list-first")
        << QStringList{gnome, Http + "a.desktop", User, Http + "b.desktop"}
        << "ubuntu:GNOME" << "a.desktop" << "/usr/bin/a";
    QTest::newRow("other-desktop-list-unread")
        << QStringList{gnome, Http + "a.desktop", User, Http + "b.desktop"}
        << "KDE" << "b.desktop" << "b-browser";
    QTest::newRow("missing-next-in-list")
        << QStringList{User, Http + "gone.desktop; ;b.desktop;"}
        << "" << "b.desktop" << "b-browser";
    QTest::newRow("missing-next-list")
        << QStringList{User, Http + "gone.desktop", System, Http + "a.desktop"}
        << "" << "a.desktop" << "/usr/bin/a";
    QTest::newRow("hidden-skipped")
        << QStringList{User, Http + "a.desktop;b.desktop", AppA, hiddenA}
        << "" << "b.desktop" << "b-browser";
    QTest::newRow("user-hidden-masks-system")
        << QStringList{User, Http + "a.desktop;b.desktop", "data/applications/a.desktop", hiddenA}
        << "" << "b.desktop" << "b-browser";
    QTest::newRow("exec-only-in-action")
        << QStringList{User, Http + "a.desktop;b.desktop", AppA,
                       entry({}) + "[Desktop Action new]\nExec=/a\n"}
        << "" << "b.desktop" << "b-browser";
    QTest::newRow("html-when-no-http")
        << QStringList{User, "text/html=a.desktop"}
        << "" << "a.desktop" << "/usr/bin/a";
    QTest::newRow("html-when-http-not-installed")
        << QStringList{User, Http + "gone.desktop\ntext/html=b.desktop"}
        << "" << "b.desktop" << "b-browser";
    QTest::newRow("subfolder-id")
        << QStringList{"data/applications/mimeapps.list", Http + "kde4-web-x.desktop",
                       "sysdata/applications/kde4/web-x.desktop", entry("/k %u")}
        << "" << "kde4-web-x.desktop" << "/k";
    QTest::newRow("quoted-escaped-exec")
        << QStringList{User, Http + "a.desktop", AppA, entry(R"("/opt/web\sbrowser/run" %U)")}
        << "" << "a.desktop" << R"("/opt/web browser/run")";
    QTest::newRow("exec-254-chars")
        << QStringList{User, Http + "a.desktop", AppA, entry(longExec)}
        << "" << "a.desktop" << longExec;
    QTest::newRow("exec-255-chars")
        << QStringList{User, Http + "a.desktop", AppA, entry(longExec + "x")}
        << "" << "a.desktop" << "";
    QTest::newRow("nothing-registered") << QStringList{} << "" << "" << "";
}

void tst_Browser::lookup()
{
    QFETCH(QStringList, files);
    QFETCH(QString, desktop);
    QFETCH(QString, id);
    QFETCH(QString, browser);
    for (qsizetype i = 0; i + 1 < files.size(); i += 2)
        write(files.at(i), files.at(i + 1));
    if (!desktop.isEmpty())
        qputenv("XDG_CURRENT_DESKTOP", desktop.toUtf8());

    QCOMPARE(modRegistry::regQueryString(HKEY_CLASSES_ROOT, ".html", ""), id);
    QCOMPARE(Utils::getDefaultBrowser(), browser);
}

void tst_Browser::otherKeysReadEmpty()
{
    using modRegistry::regQueryString;
    const QString command = QStringLiteral("\\shell\\open\\command");
    QCOMPARE(regQueryString(HKEY_CLASSES_ROOT, "a.desktop" + command, ""), "/usr/bin/a %u");
    QCOMPARE(regQueryString(HKEY_CLASSES_ROOT, "a.desktop" + command, "x"), "");
    QCOMPARE(regQueryString(0x80000001u, "a.desktop" + command, ""), "");
    QCOMPARE(regQueryString(HKEY_CLASSES_ROOT, command, ""), "");
    QCOMPARE(regQueryString(HKEY_CLASSES_ROOT, "../applications/a.desktop" + command, ""), "");
}

QTEST_GUILESS_MAIN(tst_Browser)
#include "tst_browser.moc"
