#pragma once

// A private PulseAudio server with a null sink, for machines without sound
// (Qt Multimedia, which flite plays through, speaks only to PulseAudio).

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

class NullSink
{
public:
    // Starts the server (up to 5 s) and sets PULSE_SERVER, before anything plays.
    NullSink()
    {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (program.isEmpty()) {
            mError = QStringLiteral("pulseaudio is not installed (scripts/install-deps.sh)");
            return;
        }
        const QString runtime = mDir.filePath(QStringLiteral("run"));
        const QString socket = mDir.filePath(QStringLiteral("native"));
        QDir().mkdir(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), mDir.path());
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), mDir.path());
        mServer.setProcessEnvironment(environment);
        mServer.setProcessChannelMode(QProcess::MergedChannels);
        // No configuration, two modules; it ends after a while without clients.
        mServer.start(
                program,
                QStringList {"-n", "--daemonize=no", "--exit-idle-time=20", "--use-pid-file=no",
                             "--disable-shm=yes", "--log-target=stderr", "-L",
                             "module-null-sink sink_name=null", "-L",
                             "module-native-protocol-unix auth-anonymous=1 socket=" + socket});
        const QDeadlineTimer deadline(startTimeoutMs);
        while (!QFile::exists(socket) && mServer.state() != QProcess::NotRunning
               && !deadline.hasExpired())
            mServer.waitForFinished(pollMs);
        if (!QFile::exists(socket)) {
            mError = QStringLiteral("pulseaudio did not start: ")
                     + QString::fromLocal8Bit(mServer.readAll()).trimmed();
            return;
        }
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(socket));
    }
    ~NullSink()
    {
        if (mServer.state() == QProcess::NotRunning)
            return;
        mServer.terminate();
        if (!mServer.waitForFinished(startTimeoutMs))
            mServer.kill();
        mServer.waitForFinished();
    }
    NullSink(const NullSink &) = delete;
    NullSink &operator=(const NullSink &) = delete;

    bool isRunning() const { return mError.isEmpty(); }
    QString error() const { return mError; }

private:
    static constexpr int startTimeoutMs = 5000;
    static constexpr int pollMs = 20;
    QTemporaryDir mDir;
    QProcess mServer;
    QString mError;
};
