#pragma once

// The main window tests' fixture: own folders, boxes and speech recorded.

#include "platform/App.h"
#include "platform/Forms.h"
#include "program/Globals.h"
#include "trainer/frmMain.h"
#include "trainer/frmMainLook.h"

#include "speechrecorder.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <optional>

#include <sys/stat.h>

inline const QByteArray threeVerbs("# list\r\nto go\twent\tgone\tgehen\r\n"
                                   "to burn\tburnt/burned\tburnt/burned\tbrennen\r\n"
                                   "to be\twas/were\tbeen\tsein\r\n");
inline const char *const answerBoxes[] = {"txtEngInf", "txtEngPast", "txtEngPastParticiple"};
inline const char *const verdicts[] = {"lblEngInf", "lblEngPast", "lblEngPastParticiple"};

class MainWindowTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Never the user's real folders; a fresh state folder for every test.
    void initTestCase()
    {
        for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_DATA_DIRS"})
            qputenv(name, mDir.path().toLocal8Bit());
        qputenv("XDG_STATE_HOME", QFile::encodeName(mStateHome));
        App::setPath(mDir.path());
    }
    void init()
    {
        mBoxes.emplace();
        mSpeech.emplace();
        QVERIFY(QDir(mStateHome).removeRecursively());
    }
    void cleanup()
    {
        delete mWindow;
        qDeleteAll(QList<QWidget *>(Forms::all())); // a copy: each deletion edits the list
        mBoxes.reset();
        mSpeech.reset();
    }

protected:
    // Starts the window over a leftover Updater.exe link to a read-only file;
    // false unless it was removed and its target left alone. `content`:
    // "missing" or "unreadable" (a pipe). r = 0.5 draws "to burn".
    bool open(const QByteArray &content = threeVerbs, bool show = false)
    {
        const QString updater = mDir.filePath(QStringLiteral("Updater.exe"));
        const QString target = mDir.filePath(QStringLiteral("updater-target"));
        QFile::remove(mVerbFile);
        if (content == "unreadable" ? ::mkfifo(QFile::encodeName(mVerbFile).constData(), 0600) != 0
                                    : content != "missing" && !putFile(mVerbFile, content))
            return false;
        if ((!QFile::exists(target)
             && !(putFile(target, {}) && QFile::setPermissions(target, QFileDevice::ReadOwner)))
            || !QFile::link(target, updater))
            return false;
        mWindow = new frmMain(Globals::services());
        mWindow->setRandomSource([] { return 0.5f; });
        if (show)
            mWindow->show();
        return (!show || QTest::qWaitForWindowExposed(mWindow)) && !QFileInfo(updater).isSymLink()
               && (QFile::permissions(target) & 0x7077) == QFileDevice::ReadOwner;
    }

    template<class T = QWidget>
    T *child(const char *name, QWidget *in = nullptr)
    {
        return (in ? in : mWindow.data())->findChild<T *>(QLatin1String(name));
    }
    void click(const char *button) { child<QAbstractButton>(button)->click(); }
    void activate()
    {
        mWindow->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(mWindow));
    }
    // Types a key sequence such as "Alt+N" into the focus.
    void key(const char *keys)
    {
        const QKeyCombination combination = QKeySequence(QLatin1String(keys))[0];
        QTest::keyClick(mWindow->focusWidget(), combination.key(), combination.keyboardModifiers());
    }
    QAction *action(const char *name) { return child<QAction>(name); }
    // A widget's or a menu item's property by name.
    QVariant property(const char *name, const char *property)
    {
        return child<QObject>(name)->property(property);
    }
    QString text(const char *name) { return property(name, "text").toString(); }
    // The verdicts, joined by "|".
    QString verdictTexts()
    {
        QStringList joined;
        for (const char *name : verdicts)
            joined << text(name);
        return joined.join(u'|');
    }
    // The answer boxes, "#" locked, "=" given; "?" when look and lock differ.
    QString answers()
    {
        QStringList shown;
        for (const char *name : answerBoxes) {
            const QColor base = child(name)->palette().color(QPalette::Base);
            const qsizetype look
                    = QList {Look::window(), Look::locked(), Look::grayText()}.indexOf(base);
            const bool locked = property(name, "readOnly").toBool();
            shown << text(name)
                             + (locked == (look > 0) ? QStringList {"", "#", "="}.value(look, "?")
                                                     : "?");
        }
        return shown.join(u'|');
    }
    QString score() { return text("lblScore"); }
    QString focus() { return mWindow->focusWidget()->objectName(); }
    // Answers the drawn verb: every form right, or the infinitive wrong.
    void answer(bool right)
    {
        const VerbEntry verb = mWindow->verbList().at(mWindow->currentVerb() - 1);
        child<QLineEdit>("txtEngInf")->setText(right ? verb.EngInf() : QStringLiteral("to err"));
        child<QLineEdit>("txtEngPast")->setText(verb.EngPast().section(u'/', 0, 0));
        child<QLineEdit>("txtEngPastParticiple")
                ->setText(verb.EngPastParticiple().section(u'/', 0, 0));
        click("btEnter");
    }
    // Draws and answers n verbs.
    void drill(int n, bool right)
    {
        for (int i = 0; i < n; ++i) {
            click("btNewWord");
            answer(right);
        }
    }
    // Tab from the first named control visits the others in order.
    void tabChain(const QStringList &names)
    {
        child(qPrintable(names.first()))->setFocus();
        for (const QString &next : names.mid(1)) {
            QTest::keyClick(mWindow->focusWidget(), Qt::Key_Tab);
            QCOMPARE(focus(), next);
        }
    }
    static bool putFile(const QString &path, const QByteArray &content)
    {
        return QDir().mkpath(QFileInfo(path).absolutePath()) && writeBytes(path, content);
    }
    QByteArray progressFile() { return fileBytes(mProgressFile); }
    // The box the file keeps for a verb, 0 for none.
    int keptBox(const QString &key)
    {
        const std::optional<ProgressState> kept = parseProgress(progressFile());
        return kept ? kept->verbs.value(key, {0, {}, 0, {}, {}}).box : -1;
    }
    // The real box trigger opens: owner, title, "1" if wide enough, default, buttons.
    QStringList realBox(const std::function<void()> &trigger)
    {
        QStringList seen;
        mBoxes.reset();
        QTimer::singleShot(0, this, [&seen] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            seen << box->parentWidget()->objectName() << box->windowTitle()
                 << QString::number(box->width() >= msgBoxTitleWidth(box->windowTitle()))
                 << box->defaultButton()->text();
            for (QAbstractButton *button : box->buttons())
                seen << button->text();
            QTest::keyClick(box, Qt::Key_Escape);
        });
        trigger();
        return seen;
    }

    QTemporaryDir mDir;
    QString mStateHome = mDir.filePath(QStringLiteral("state"));
    QString mProgressFile = mStateHome + QStringLiteral("/verbodrom/progress.txt");
    QString mVerbFile = mDir.filePath(QStringLiteral("IrregularVerbs.txt"));
    QPointer<frmMain> mWindow;
    std::optional<MsgBoxRecorder> mBoxes;
    std::optional<SpeechRecorder> mSpeech;
};
