#include "base/RuntimeError.h"
#include "platform/App.h"
#include "platform/DefaultBrowser.h"
#include "trainer/frmAbout.h"

#include "testsupport.h"

#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

class tst_About : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The line shows on the birthday only ("17.02." needs the month padded);
    // the version line holds the build's version after two blanks.
    void birthday()
    {
        frmAbout w {QString()};
        auto *line = w.findChild<QLabel *>("lblOwnBirthday");
        w.Form_Load(QDate(2025, 2, 17));
        QVERIFY(line->isVisibleTo(&w));
        QVERIFY(line->fontMetrics().horizontalAdvance(line->text()) <= line->width());
        w.Form_Load(QDate(2025, 2, 18));
        QVERIFY(!line->isVisibleTo(&w));
        const QString text = w.findChild<QLabel *>("lblAbout")->text();
        QCOMPARE(text, "Verbodrom(EN)  Version " VERBODROM_PROJECT_VERSION
                               + text.mid(text.indexOf(u'\n')));
        QCOMPARE(text.count(u'\n'), 2);
    }

    // A mouse move over the button or a control must not swap the label back;
    // Tab from OK swaps the button in, Enter on it starts the browser.
    void homepageByMouseAndKeyboard()
    {
        ShellRecorder shell;
        QPointer<frmAbout> w = new frmAbout("firefox %u");
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w));
        auto *label = w->findChild<QLabel *>("lblHomepage");
        auto *button = w->findChild<QPushButton *>("btHomepage");
        QCOMPARE(label->geometry(), button->geometry());
        QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(label->text()));
        const QPoint spot = label->geometry().center();
        QTest::mouseMove(w, spot);
        QTRY_VERIFY(button->isVisible() && !label->isVisible());
        QTest::mouseMove(w, spot + QPoint(3, 1));
        QTest::mouseMove(w, w->findChild<QWidget *>("Picture1")->geometry().center());
        QTest::mouseMove(w, w->findChild<QWidget *>("lblAbout")->geometry().center());
        QVERIFY(button->isVisible() && !label->isVisible());
        QTest::mouseMove(w, QPoint(4, 4));
        QTRY_VERIFY(label->isVisible() && !button->isVisible());
        w->findChild<QPushButton *>("btOK")->setFocus();
        QTest::keyClick(w->focusWidget(), Qt::Key_Tab);
        QVERIFY(w->focusWidget() == button && button->isVisible() && !label->isVisible());
        QTest::keyClick(button, Qt::Key_Return);
        QCOMPARE(shell.starts.size(), 1);
        QCOMPARE(shell.starts.first().arguments, QStringList {App::Homepage()});
        QCOMPARE(shell.starts.first().windowStyle, int(vbNormalFocus));
        QVERIFY(w->isVisible());
        QTest::keyClick(button, Qt::Key_Tab); // on round to OK, where Enter closes
        QTest::keyClick(w->focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(w.isNull());
    }

    // No browser starts nothing; one that cannot start is named with the homepage.
    void browserStartFailure()
    {
        MsgBoxRecorder boxes;
        {
            ShellRecorder shell;
            frmAbout(QString()).btHomepage_Click();
            QVERIFY(shell.starts.isEmpty());
        }
        setShellHandler([](const QString &, const QStringList &, int, const QString &) -> qint64 {
            throw RuntimeError(RuntimeError::FileNotFound);
        });
        frmAbout w("\"/gone/browser\"");
        w.btHomepage_Click();
        setShellHandler({});
        QCOMPARE(boxes.boxes.size(), 1);
        const QString prompt = boxes.boxes.first().prompt;
        QVERIFY(prompt.contains(":\n/gone/browser\n") && prompt.contains(App::Homepage()));
    }

    // From the desktop file through env and a shell to a stand-in browser
    // that records its arguments.
    void realBrowserGetsHomepage()
    {
        MsgBoxRecorder failure; // would block the test in a real message box
        QTemporaryDir root;
        const QString script = root.filePath("web browser/run"), output = root.filePath("argv.txt");
        const auto write = [&](const QString &name, const QByteArray &content) {
            QVERIFY(QDir(root.path()).mkpath(name.section('/', 0, -2))
                    && writeBytes(root.filePath(name), content));
        };
        write("web browser/run",
              "#!/bin/sh\nprintf '[%s]\\n' \"$VERBODROM_MARK\" \"$@\" > \"$0.t\"\n"
              "mv \"$0.t\" '"
                      + QFile::encodeName(output) + "'\n");
        QVERIFY(QFile::setPermissions(script,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        write("data/applications/mimeapps.list",
              "[Default Applications]\nx-scheme-handler/http=w.desktop\n");
        write("data/applications/w.desktop",
              "[Desktop Entry]\nExec=env VERBODROM_MARK=set /bin/sh \"" + QFile::encodeName(script)
                      + "\" --new %U -x\n");
        for (const char *var : {"XDG_CONFIG_HOME", "XDG_CONFIG_DIRS", "XDG_DATA_DIRS"})
            qputenv(var, QFile::encodeName(root.filePath("none")));
        qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath("data")));
        qunsetenv("VERBODROM_MARK");
        frmAbout w(DefaultBrowser::defaultBrowserExec());
        w.btHomepage_Click();
        QTRY_VERIFY(QFile::exists(output));
        QCOMPARE(QString::fromUtf8(fileBytes(output)),
                 "[set]\n[--new]\n[" + App::Homepage() + "]\n[-x]\n");
        QVERIFY(failure.boxes.isEmpty());
    }
};

QTEST_MAIN(tst_About)
#include "tst_about.moc"
