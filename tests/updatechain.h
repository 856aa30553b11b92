#pragma once

// A scripted update server on 127.0.0.1 and the update chain tests' fixture.

#include "platform/App.h"
#include "platform/Forms.h"
#include "program/Globals.h"
#include "trainer/frmDummy.h"
#include "trainer/frmMain.h"

#include "httptestserver.h"
#include "testsupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <optional>
#include <tuple>

inline const QString rest = QStringLiteral("Verbodrom(EN)");
inline const QString busy = QStringLiteral("Verbodrom(EN) - Versions-Upgrade läuft...");

// Binary program files with blank lines inside, arriving in many pieces.
inline const QByteArray updaterBody = QByteArray("\177ELF\0\377\r\n\r\n", 10).repeated(900);
inline const QByteArray newBody = QByteArray("\0\x01\x80\xFFnew\n", 8).repeated(40000);

// Per file: "=body", "~body" chunked, "404", "reset", "silent", "hold" + another.
using Replies = QHash<QByteArray, QByteArray>;

struct UpdateServerStub : TestServer
{
    UpdateServerStub()
        : TestServer([this](QTcpSocket *socket, int) {
              const QByteArray path = requests.constLast().split(' ').value(1);
              const QByteArray prefix = "/Updates/Verbodrom(EN)/";
              const QByteArray file = path.startsWith(prefix) ? path.mid(prefix.size()) : path;
              if (requested.isEmpty() || requested.constLast() != file)
                  requested.append(file);
              answer(socket, replies.value(file, "404"));
          })
    {}

    void answer(QTcpSocket *socket, const QByteArray &reply)
    {
        const QByteArray body = reply.mid(1);
        if (reply == "reset")
            resetConnection(socket);
        else if (reply == "silent")
            ++silentPending;
        else if (reply.startsWith("hold"))
            std::tie(held, heldReply) = std::pair(socket, reply.mid(4));
        else if (reply.startsWith('='))
            respond(socket, ok(body));
        else if (reply.startsWith('~'))
            respond(socket, chunked(body));
        else
            respond(socket, "HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\n\r\nNot Found");
    }

    void release()
    {
        if (held)
            answer(held, heldReply);
        held = nullptr;
    }

    // The files asked for by initial, a signature's in lower case: "VUuNn".
    QByteArray letters() const
    {
        QByteArray out;
        for (const QByteArray &file : requested)
            out += file.endsWith(".minisig") ? char(file.at(0) | 0x20) : file.at(0);
        return out;
    }

    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(server.serverPort()); }

    Replies replies;
    QList<QByteArray> requested;
    int silentPending = 0;
    QPointer<QTcpSocket> held;
    QByteArray heldReply;
};

inline QString box(int style, const char *titleNote, const QString &prompt)
{
    return QString::number(style) + '|' + App::Title() + QString::fromUtf8(titleNote) + '|'
           + prompt;
}

inline QString offerBox(const char *version, int style = 65)
{
    return box(style, " - Update verfügbar",
               QStringLiteral("Eine neue Version (%1) ist verfügbar.\r\n"
                              "Bitte klicken Sie OK, um sie zu installieren!")
                       .arg(QLatin1String(version)));
}

inline const QString offer = offerBox("1.2.0");
inline const QString askStart = box(49 + 256, " - Update starten?",
                                    "Alle erforderlichen Dateien wurden heruntergeladen.\r\n"
                                    "Update starten?");
inline QString updateError(const QString &prompt)
{
    return box(48, " - Update error", prompt);
}

// The chain's other boxes; "%F" stands for the program folder.
inline const QString offerAtStart = offerBox("1.2.0", 65 + 256);
inline const QString nothingNew = box(0, " - Kein Upgrade", "Keine neue Version verfügbar.");
inline const QString noAnswer = updateError("Der Update-Server ist nicht erreichbar.");
inline const QString noVersion
        = updateError("Der Update-Server hat keine gültige Versionsangabe geliefert.");
inline const QString emptyUpdater = updateError("Der Updater konnte nicht heruntergeladen werden");
inline const QString emptyNew = updateError("Die neue Version konnte nicht heruntergeladen werden");
inline const QString refused
        = updateError("Das Update ist nicht gültig signiert und wurde verworfen.");
inline const QString notStarted
        = updateError("Der Updater %F/Updater.exe konnte nicht gestartet werden.");
inline const QString managed
        = box(64, " - Internet Update",
              "Dieses Programm wird von der Paketverwaltung oder vom Verwalter "
              "des Rechners aktualisiert.");

inline QString failed(const char *why)
{
    return updateError(QStringLiteral("Das Update konnte nicht heruntergeladen werden.\r\n")
                       + QString::fromUtf8(why));
}

inline QString notWritten(const char *name)
{
    return updateError(QStringLiteral("Die Datei %F/") + QLatin1String(name)
                       + QStringLiteral(" konnte nicht geschrieben werden.\r\n"
                                        "Das Update wurde nicht installiert."));
}

// A program folder with a blank in its path, the stub server, the main window.
class UpdateChainTest : public QObject
{
protected:
    std::unique_ptr<QTemporaryDir> mDir;
    QString mFolder;
    QPointer<frmMain> mWindow;
    std::unique_ptr<UpdateServerStub> mServer;
    std::optional<MsgBoxRecorder> mBoxes;
    std::optional<ShellRecorder> mShell;

    // The host form and main window as at start-up, aimed at `server` or the stub.
    frmMain *startWindow(const QString &server = QString())
    {
        App::setUpdateServer(server.isEmpty() ? mServer->address() : server);
        new frmDummy;
        mWindow = Globals::loadMainWindow();
        mWindow->show();
        return mWindow;
    }

    // Runs until at rest or the updater started; silence gets the ticks at once.
    bool runChain()
    {
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            if (mWindow->windowTitle() == rest || (mShell && !mShell->starts.isEmpty())
                || !Globals::hasCopyHelper())
                return true;
            if (mServer->silentPending > 0) {
                mServer->silentPending = 0;
                for (int tick = 0; tick < CopyHelper::kIdleTicks; ++tick)
                    Globals::g_objCopyHelper().mWatchdog_Timer();
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return false;
    }

    QString file(const char *name) const { return mFolder + '/' + QString::fromUtf8(name); }
    // A file in the learner's state folder, which init() makes its own.
    static QString stateFile(const char *name)
    {
        return qEnvironmentVariable("XDG_STATE_HOME") + "/verbodrom/" + QString::fromUtf8(name);
    }

    void putFile(const char *name, const QByteArray &bytes) const
    {
        QVERIFY(writeBytes(file(name), bytes));
    }

    QByteArray contents(const char *name) const
    {
        return QFileInfo(file(name)).isFile() ? fileBytes(file(name)) : QByteArray("(none)");
    }

    // The file's mode as hex digits, 0x755 for rwxr-xr-x.
    static int mode(const QString &path) { return int(QFile::permissions(path)) & 0xfff; }

    // For init(): a fresh folder with a verb list and server, no key.
    void initChain()
    {
        mDir = std::make_unique<QTemporaryDir>();
        mFolder = mDir->path() + QStringLiteral("/Programm Ordner");
        QDir().mkpath(mFolder);
        putFile("IrregularVerbs.txt", "to be\twas/were\tbeen\tsein\r\n");
        App::setPath(mFolder);
        // The window reads the learner's progress: never the real user's.
        qputenv("XDG_STATE_HOME", QFile::encodeName(mDir->filePath(QStringLiteral("state"))));
        App::setUpdateKey(QString());
        mServer = std::make_unique<UpdateServerStub>();
        mBoxes.emplace();
        mShell.emplace();
    }

    // For cleanup(): everything the chain made is gone.
    void cleanupChain()
    {
        if (mWindow)
            mWindow->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!Globals::hasCopyHelper());
        QCOMPARE(Forms::count(), 0);
        App::setPath(QString());
        App::setUpdateServer(QString());
        App::setUpdateKey(std::nullopt);
        App::setPathWritable(std::nullopt);
        setShellHandler({});
        mBoxes.reset();
        mShell.reset();
        mServer.reset();
        mDir.reset();
    }
};
