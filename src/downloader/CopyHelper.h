#pragma once

// The program's HTTP/1.1 GET downloader, one transfer at a time.
//
// Dispatch(url) splits the URL, arms the one-second watchdog and starts an
// asynchronous connect; then the socket's events carry the transfer:
// connected -> the request is sent (HttpRequest.h); each arrival -> taken
// by the response decoder (ResponseDecoder.h) straight from the socket; the
// server's close, a complete body or a refused response -> the content is
// cut out (ContentCut.h) and the parent's CHCallBack(QByteArray &, qint16 &)
// is called by name. A socket error is retried once. The watchdog ends a
// transfer with TimedOut after 10 ticks without data, and after
// kTransferTicks ticks in all however data trickles in. Every transfer that Dispatch started ends
// in endTransfer(), with exactly one callback, after the helper is idle
// again: the callback may start the next transfer.
//
// Result codes: see DownloadResult.h. On failure the parent receives the
// content of the last successful transfer, except for a refused response
// (BadResponse), whose content is the body as received; lastFailure() tells
// why it was refused.

#include "downloader/DecodeFailure.h"
#include "downloader/ResponseDecoder.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <chrono>
#include <functional>

class QTimer;
class WinsockControl;

class CopyHelper : public QObject
{
    Q_OBJECT
public:
    // Takes the first free name "CopyHelper1" to "CopyHelper100" for its
    // watchdog on the first loaded form. When that fails, shows why and ends
    // the program at once (see setEndProgramHandler).
    explicit CopyHelper(QObject *parent = nullptr);
    // The teardown: watchdog disabled, socket closed. The watchdog timer
    // stays on its form, so its name stays taken.
    ~CopyHelper() override;

    // The parent whose CHCallBack is called when a transfer ends.
    void Parent(QObject *objParent);
    // How the content is cut out (Http::ContentKind in ContentCut.h:
    // HttpBody, JpegImage; other values give nothing). A value outside 0..255 raises
    // RuntimeError::Overflow and keeps the value stored before.
    void DataType(qint32 vType);
    // Tags for the parent, never looked at here.
    quint8 Task() const { return mTask; }
    void Task(quint8 byData) { mTask = byData; }
    quint8 Step() const { return mStep; }
    void Step(quint8 byData) { mStep = byData; }

    // True while the socket is in any state but closed.
    bool isBusy() const;
    // True when no transfer is running.
    bool isReady() const { return !mBusy; }
    QString getName() const { return mName; }
    // The socket state as a German text (progress text while connected).
    QString getStatus() const;
    // "host:port: status".
    QString getReport() const;
    // Why the last transfer's response was refused (it ended with
    // BadResponse, or SocketFailed when too large); None when it was not or
    // the transfer ended for another reason. Set before the callback;
    // Http::decodeFailureText gives its text.
    Http::DecodeFailure lastFailure() const { return mFailure; }
    // How a transfer that ended with `code` ended, in German for the user:
    // the code's text, and the reason a response was refused when it was.
    QString endingText(qint16 code) const;

    // Starts fetching the URL; returns at once. False when a transfer is
    // running (its fields untouched), the URL is refused (no "://", begins
    // with "/", port out of range, credentials not 8-bit) or starting
    // failed. Never throws.
    bool Dispatch(const QString &strSource);

    // The watchdog tick; also called directly by tests.
    void mWatchdog_Timer();

    // Ticks of the watchdog without data that end a transfer.
    static constexpr qint16 kIdleTicks = 10;
    // Ticks that end a transfer however data trickles in (both attempts
    // together): 15 minutes, far beyond any honest fetch of the update files.
    static constexpr int kTransferTicks = 15 * 60;
    // How often the watchdog ticks (from the next Dispatch on) and how many
    // ticks a transfer may last in all. Tests shorten both.
    struct WatchdogTiming
    {
        std::chrono::milliseconds tick {1000};
        int transferTicks = kTransferTicks;
    };
    static void setWatchdogTiming(WatchdogTiming timing);

    // Disables the watchdog and closes the socket; idempotent.
    void teardown();
    // True while the parent's CHCallBack runs.
    bool isInCallback() const { return mCallbackDepth > 0; }

    // What ends the program after a failed creation. The default ends the
    // process at once. Should a handler return, the constructor throws
    // RuntimeError, so that no partly created object exists.
    using EndProgramHandler = std::function<void()>;
    static void setEndProgramHandler(EndProgramHandler handler);

private:
    enum CreationStage { TimerStage = 1, SocketStage = 2, SetupStage = 3 };

    void mWinsockControl_Connect();
    void mWinsockControl_SendComplete();
    void mWinsockControl_DataArrival(qint32 bytesTotal);
    void mWinsockControl_Error(int Number, const QString &Description);
    void mWinsockControl_Close();

    QByteArray ExtractBody(qint16 &code);
    void endWithResponse();
    void endTransfer(qint16 code);
    void stopWatchdog();
    void callBack(qint16 code);
    [[noreturn]] void creationFailed(CreationStage stage);

    qint16 mIdleTicks = 0;
    QPointer<QObject> mParent;
    quint8 mDataType = 0;
    Http::ResponseDecoder mResponse;
    Http::DecodeFailure mFailure = Http::DecodeFailure::None;
    QByteArray mContents;
    QString mSource;
    QString mHost;
    QString mUserInfo;
    QString mAuthorization;
    qint32 mPort = 0;
    QString mPath;
    QString mName;
    bool mBusy = false;
    qint16 mAttempts = 0;
    QString mStatus;
    quint8 mTask = 0;
    quint8 mStep = 0;
    QPointer<QTimer> mWatchdog;
    WinsockControl *mWinsockControl = nullptr;

    int mTransferTicks = 0; // ticks since the transfer's first Dispatch
    int mCallbackDepth = 0;
};
