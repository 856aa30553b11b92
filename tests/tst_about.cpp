#include "support/App.h"
#include "support/DefaultBrowser.h"
#include "support/RuntimeError.h"
#include "support/Utils.h"
#include "support/frmAbout.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class tst_About : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void padNumber_data();
    void padNumber();
    void birthday_data();
    void birthday();
    void aboutText();
    void geometry_data();
    void geometry();
    void hoverSwap();
    void homepageStart_data();
    void homepageStart();
    void browserStartFailure();
    void enterCloses();
    void realBrowserGetsHomepage();
};

void tst_About::padNumber_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one-digit") << "7" << 2 << "07";
    QTest::newRow("two-digits") << "17" << 2 << "17";
    QTest::newRow("never-cut") << "123" << 2 << "123";
    QTest::newRow("comma") << "3,5" << 2 << "03,5";
    QTest::newRow("empty") << "" << 2 << "00";
    QTest::newRow("width-zero-trims") << " 5 " << 0 << "5";
    QTest::newRow("blanks-around") << " 5 " << 2 << "05";
    QTest::newRow("point") << "1.25" << 3 << "001.25";
}

void tst_About::padNumber()
{
    QFETCH(QString, number);
    QFETCH(int, width);
    QFETCH(QString, expected);
    QCOMPARE(Utils::padNumber(number, qint16(width)), expected);
}

void tst_About::birthday_data()
{
    QTest::addColumn<QDate>("today");
    QTest::addColumn<bool>("shown");
    QTest::newRow("16-feb") << QDate(2025, 2, 16) << false;
    QTest::newRow("17-feb") << QDate(2025, 2, 17) << true;
    QTest::newRow("18-feb") << QDate(2025, 2, 18) << false;
    QTest::newRow("17-mar") << QDate(2025, 3, 17) << false;
}

void tst_About::birthday()
{
    QFETCH(QDate, today);
    QFETCH(bool, shown);
    frmAbout w{QString()};
    auto *line = w.findChild<QLabel *>("lblOwnBirthday");
    w.Form_Load(QDate(2025, 2, 17));
    w.Form_Load(today);
    QCOMPARE(line->isVisibleTo(&w), shown);
    QCOMPARE(line->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    QCOMPARE(line->font().pointSizeF(), 14.25);
    QVERIFY(line->fontMetrics().horizontalAdvance(line->text()) <= line->width());
    const QString fixed = QFontInfo(QFontDatabase::systemFont(QFontDatabase::FixedFont)).family();
    QVERIFY(line->font().family() == "OCR A Extended" || QFontInfo(line->font()).family() == fixed);
}

void tst_About::aboutText()
{
    frmAbout w{QString()};
    const QStringList lines = w.findChild<QLabel *>("lblAbout")->text().split('\n');
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines.first(), "Verbodrom(EN)  Version 1.1.0");
    QCOMPARE(w.windowTitle(), "Über Talvento");
}

void tst_About::geometry_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("place");
    QTest::newRow("btOK") << "btOK" << QRect(120, 112, 81, 25);
    QTest::newRow("lblAbout") << "lblAbout" << QRect(32, 16, 241, 57);
    QTest::newRow("Picture1") << "Picture1" << QRect(288, 4, 113, 157);
    QTest::newRow("lblOwnBirthday") << "lblOwnBirthday" << QRect(18, 144, 271, 17);
}

void tst_About::geometry()
{
    QFETCH(QString, control);
    QFETCH(QRect, place);
    frmAbout w{QString()};
    QCOMPARE(w.size(), QSize(410, 168));
    QCOMPARE(w.findChild<QWidget *>(control)->geometry(), place);
}

// Real mouse moves: a move over the button or another control must not reach
// the window background, or the button would flicker back into the label.
void tst_About::hoverSwap()
{
    frmAbout w{QString()};
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    auto *label = w.findChild<QLabel *>("lblHomepage");
    auto *button = w.findChild<QPushButton *>("btHomepage");
    // The host name fits; label and button share one place at the designed spot.
    QCOMPARE(label->geometry(), button->geometry());
    QCOMPARE(label->geometry().topLeft(), QPoint(24, 88));
    QVERIFY(label->width() >= qMax(81, label->fontMetrics().horizontalAdvance(label->text())));
    const QPoint spot = label->geometry().center();
    const auto showing = [&](QWidget *shown, QWidget *hidden) {
        return shown->isVisible() && !hidden->isVisible();
    };

    QTest::mouseMove(&w, spot);
    QTRY_VERIFY(showing(button, label));
    QTest::mouseMove(&w, spot + QPoint(3, 1));
    QTest::mouseMove(&w, w.findChild<QWidget *>("Picture1")->geometry().center());
    QTest::mouseMove(&w, w.findChild<QWidget *>("lblAbout")->geometry().center());
    QVERIFY(showing(button, label));
    QTest::mouseMove(&w, QPoint(4, 4));
    QTRY_VERIFY(showing(label, button));
}

void tst_About::homepageStart_data()
{
    QTest::addColumn<QString>("browser");
    QTest::addColumn<QString>("program");
    QTest::newRow("quoted") << R"("/opt/web browser/run")" << "/opt/web browser/run";
    QTest::newRow("unquoted") << "firefox-esr" << "firefox-esr";
    QTest::newRow("none") << "" << "";
}

void tst_About::homepageStart()
{
    QFETCH(QString, browser);
    QFETCH(QString, program);
    ShellRecorder shell;
    frmAbout w(browser);
    w.findChild<QPushButton *>("btHomepage")->click();
    if (program.isEmpty()) {
        QVERIFY(shell.starts.isEmpty());
        return;
    }
    QCOMPARE(shell.starts.size(), 1);
    QCOMPARE(shell.starts.first().program, program);
    QCOMPARE(shell.starts.first().arguments, QStringList{App::Homepage()});
    QCOMPARE(shell.starts.first().windowStyle, 1);
}

void tst_About::browserStartFailure()
{
    MsgBoxRecorder boxes;
    setShellHandler([](const QString &, const QStringList &, int) -> qint64 {
        throw RuntimeError(RuntimeError::FileNotFound);
    });
    frmAbout w("\"/gone/browser\"");
    w.btHomepage_Click();
    setShellHandler({});
    QCOMPARE(boxes.boxes.size(), 1);
    QCOMPARE(boxes.boxes.first().style, 48);
    QCOMPARE(boxes.boxes.first().title, "VerbodromEN - Homepage");
    QVERIFY(boxes.boxes.first().prompt.contains("/gone/browser"));
    QVERIFY(boxes.boxes.first().prompt.contains(App::Homepage()));
}

void tst_About::enterCloses()
{
    const int before = Forms::count();
    QPointer<frmAbout> w = new frmAbout(QString());
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::keyClick(w, Qt::Key_Return);
    QTRY_VERIFY(w.isNull());
    QCOMPARE(Forms::count(), before);
}

// The whole way from the desktop file to the started program: a stand-in
// browser in a folder with a blank records the arguments it was given.
void tst_About::realBrowserGetsHomepage()
{
    QTemporaryDir root;
    const QString script = root.filePath("web browser/run"), record = root.filePath("argv.txt");
    const auto write = [&](const QString &name, const QByteArray &content) {
        QFile file(root.filePath(name));
        return QDir(root.path()).mkpath(QFileInfo(name).path()) && file.open(QIODevice::WriteOnly)
               && file.write(content) == content.size();
    };
    QVERIFY(write("web browser/run",
                  "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done > \"$0.t\"\n"
                  "mv \"$0.t\" '" + QFile::encodeName(record) + "'\n"));
    QVERIFY(QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(write("config/mimeapps.list",
                  "[Default Applications]\nx-scheme-handler/http=w.desktop\n"));
    QVERIFY(write("data/applications/w.desktop",
                  "[Desktop Entry]\nExec=\"" + QFile::encodeName(script) + "\" %u\n"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root.filePath("config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath("data")));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(root.filePath("none")));
    qputenv("XDG_DATA_DIRS", QFile::encodeName(root.filePath("none")));

    frmAbout w(Utils::getDefaultBrowser());
    w.btHomepage_Click();
    QTRY_VERIFY(QFile::exists(record));
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), "[" + App::Homepage().toUtf8() + "]\n");
}

QTEST_MAIN(tst_About)
#include "tst_about.moc"
