#include "downloader/CopyHelper.h"

#include "base/RuntimeError.h"
#include "base/Utils.h"
#include "base/modBase64.h"
#include "downloader/ContentCut.h"
#include "downloader/DownloadResult.h"
#include "downloader/HttpRequest.h"
#include "platform/App.h"
#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/TimerControl.h"
#include "platform/WinsockControl.h"

#include <QMetaObject>
#include <QTimer>

#include <cstdlib>
#include <limits>

namespace {

constexpr int kMaxInstances = 100;
constexpr qint16 kMaxAttempts = 2; // the first and one automatic retry

// Numbers the data arrival handler reports its own failures under, through
// the error handler.
constexpr int kGetDataFailed = -3;
constexpr int kEmptyArrival = -5;

CopyHelper::WatchdogTiming &watchdogTiming()
{
    static CopyHelper::WatchdogTiming timing;
    return timing;
}

// The code a socket error ends a transfer with, and whether the transfer is
// tried once more first.
struct SocketFailure
{
    qint16 code;
    bool retried;
};

SocketFailure socketFailure(int number)
{
    using namespace DownloadResult;
    switch (number) {
    case WinsockControl::sckHostNotFound:
    case WinsockControl::sckHostNotFoundTryAgain:
        return {HostNotFound, false};
    case WinsockControl::sckConnectAborted:
    case WinsockControl::sckTimedout:
        return {ConnectionAborted, false};
    case WinsockControl::sckConnectionReset:
    case WinsockControl::sckNoBufferSpace:
    case WinsockControl::sckWrongProtocol:
        return {ConnectionReset, true};
    case kEmptyArrival:
        return {NothingReceived, true};
    default: // kGetDataFailed and every other number
        return {SocketFailed, true};
    }
}

// getStatus's text for a socket state and a progress text.
QString statusText(int state, const QString &progress)
{
    switch (state) {
    case WinsockControl::sckClosed:
        return QStringLiteral("Nicht aktiv");
    case WinsockControl::sckOpen:
        return QStringLiteral("Offen");
    case WinsockControl::sckListening:
        return QStringLiteral("Warte auf Verbindung...");
    case WinsockControl::sckConnectionPending:
        return QStringLiteral("Verbindung anstehend");
    case WinsockControl::sckResolvingHost:
        return QStringLiteral("Hostname wird aufgelöst...");
    case WinsockControl::sckHostResolved:
        return QStringLiteral("Host name wurde aufgelöst");
    case WinsockControl::sckConnecting:
        return QStringLiteral("Verbinden...");
    case WinsockControl::sckConnected:
        return progress.isEmpty() ? QStringLiteral("Verbunden") : progress;
    case WinsockControl::sckClosing:
        return QStringLiteral("Verbindung wird geschlossen...");
    case WinsockControl::sckError:
        return QStringLiteral("Fehler!");
    default:
        return QStringLiteral("Unbekannter Zustand");
    }
}

CopyHelper::EndProgramHandler &endProgramHandler()
{
    static CopyHelper::EndProgramHandler handler;
    return handler;
}

} // namespace

void CopyHelper::setEndProgramHandler(EndProgramHandler handler)
{
    endProgramHandler() = std::move(handler);
}

void CopyHelper::setWatchdogTiming(WatchdogTiming timing)
{
    watchdogTiming() = timing;
}

CopyHelper::CopyHelper(QObject *parent)
    : QObject(parent)
{
    CreationStage stage = TimerStage;
    try {
        QWidget *form = Forms::first();
        for (int n = 1;; ++n) {
            mName = QStringLiteral("CopyHelper") + QString::number(n);
            try {
                mWatchdog = TimerControl::add(form, mName + QStringLiteral("_Timer"));
                break;
            } catch (const RuntimeError &error) {
                if (error.number() != RuntimeError::ControlNameTaken || n >= kMaxInstances)
                    throw;
            }
        }

        stage = SocketStage;
        mWinsockControl = new WinsockControl(this);
        mWinsockControl->setObjectName(QStringLiteral("mWinsockControl"));

        stage = SetupStage;
        mAttempts = 0;
        mBusy = false;
        mWatchdog->setInterval(watchdogTiming().tick);
        mWatchdog->stop();
        mWinsockControl->setProtocol(WinsockControl::sckTCPProtocol);
        connect(mWatchdog, &QTimer::timeout, this, &CopyHelper::mWatchdog_Timer);
        connect(mWinsockControl, &WinsockControl::connected, this,
                &CopyHelper::mWinsockControl_Connect);
        connect(mWinsockControl, &WinsockControl::sendComplete, this,
                &CopyHelper::mWinsockControl_SendComplete);
        connect(mWinsockControl, &WinsockControl::dataArrival, this,
                &CopyHelper::mWinsockControl_DataArrival);
        connect(mWinsockControl, &WinsockControl::error, this, &CopyHelper::mWinsockControl_Error);
        connect(mWinsockControl, &WinsockControl::closed, this, &CopyHelper::mWinsockControl_Close);
    } catch (...) {
        // Whatever failed, even memory, no partly created object may remain.
        creationFailed(stage);
    }
}

void CopyHelper::creationFailed(CreationStage stage)
{
    QString line;
    switch (stage) {
    case TimerStage:
        line = QStringLiteral("Fehler beim Anlegen der Timer des CopyHelpers!");
        break;
    case SocketStage:
        line = QStringLiteral("WinSock- Objekte konnten nicht angelegt werden!");
        break;
    case SetupStage:
        line = QStringLiteral("Fehler beim Anlegen der Winsock oder Timer Objekte!");
        break;
    }
    MsgBox(line + QStringLiteral("\r\nDas Programm muß beendet werden!"),
           vbOKOnly, App::Title());
    if (!endProgramHandler())
        std::_Exit(1);
    endProgramHandler()();
    throw RuntimeError(RuntimeError::InvalidProcedureCall, "CopyHelper could not be created");
}

CopyHelper::~CopyHelper()
{
    teardown();
}

void CopyHelper::teardown()
{
    stopWatchdog();
    if (mWatchdog)
        mWatchdog->disconnect(this);
    mWatchdog = nullptr;
    if (mWinsockControl)
        mWinsockControl->Close();
}

void CopyHelper::Parent(QObject *objParent)
{
    mParent = objParent;
}

void CopyHelper::DataType(qint32 vType)
{
    if (vType < 0 || vType > std::numeric_limits<quint8>::max())
        throw RuntimeError(RuntimeError::Overflow, "overflow");
    mDataType = quint8(vType);
}

bool CopyHelper::isBusy() const
{
    return mWinsockControl && mWinsockControl->State() != WinsockControl::sckClosed;
}

QString CopyHelper::getStatus() const
{
    return statusText(mWinsockControl ? mWinsockControl->State() : WinsockControl::sckClosed,
                      mStatus);
}

QString CopyHelper::getReport() const
{
    return mHost + QLatin1Char(':') + Utils::trimOneSpace(mPort) + QStringLiteral(": ")
           + getStatus();
}

QString CopyHelper::endingText(qint16 code) const
{
    QString text = DownloadResult::text(code);
    if (mFailure != Http::DecodeFailure::None)
        text += u' ' + Http::decodeFailureText(mFailure) + u'.';
    return text;
}

bool CopyHelper::Dispatch(const QString &strSource)
{
    // Callers learn of every failure only through the result: nothing that
    // goes wrong in here, of any kind, may leave the call.
    try {
        // A running transfer is refused before anything of it is touched:
        // its retry still needs mSource and its response.
        if (isBusy())
            return false;

        mResponse.clear();
        mFailure = Http::DecodeFailure::None;
        mSource = strSource;
        mPort = 0;
        mUserInfo.clear();
        mAuthorization.clear();
        mHost.clear();
        mPath.clear();

        const Http::UrlParts parts = Http::splitUrl(strSource);
        if (!parts.ok)
            return false;
        mUserInfo = parts.userInfo;
        if (!mUserInfo.isEmpty())
            mAuthorization = modBase64::encodeBase64(mUserInfo);
        mHost = parts.host;
        mPort = parts.port;
        mPath = parts.path;

        if (mAttempts == 0)
            mTransferTicks = 0; // a new transfer, not the retry of one
        ++mAttempts;
        mBusy = true;
        mStatus.clear();
        mIdleTicks = 0;
        if (!mWatchdog)
            throw RuntimeError(RuntimeError::ObjectNotSet, "object variable not set");
        mWatchdog->setInterval(watchdogTiming().tick);
        mWatchdog->start();
        mWinsockControl->setRemotePort(mPort);
        mWinsockControl->Connect(mHost);
        return true;
    } catch (...) {
        return false;
    }
}

void CopyHelper::stopWatchdog()
{
    if (mWatchdog)
        mWatchdog->stop();
}

void CopyHelper::callBack(qint16 code)
{
    QObject *parent = mParent.data();
    if (!parent)
        return;
    qint16 chError = code;
    ++mCallbackDepth;
    try {
        QMetaObject::invokeMethod(parent, "CHCallBack", Qt::DirectConnection,
                                  QGenericArgument("QByteArray&", &mContents),
                                  QGenericArgument("qint16&", &chError));
    } catch (...) {
        // The parent's code may fail in any way; that does not change how
        // the transfer ended, and nothing may reach the event loop.
    }
    --mCallbackDepth;
}

// The one way a transfer ends: the helper is idle again (watchdog off,
// socket closed, response dropped, not busy) before the parent hears the
// code, so the parent may start the next transfer from its callback.
void CopyHelper::endTransfer(qint16 code)
{
    stopWatchdog();
    mIdleTicks = 0;
    mWinsockControl->Close();
    mResponse.clear();
    mAttempts = 0;
    mBusy = false;
    callBack(code);
}

void CopyHelper::mWatchdog_Timer()
{
    if (!mBusy)
        return; // a tick that outlived its transfer
    ++mIdleTicks;
    ++mTransferTicks;
    if (mIdleTicks >= kIdleTicks || mTransferTicks >= watchdogTiming().transferTicks)
        endTransfer(DownloadResult::TimedOut);
}

void CopyHelper::mWinsockControl_Connect()
{
    mStatus = QStringLiteral("Verbunden - Anfrage senden...");
    try {
        mWinsockControl->SendData(Http::buildRequest(mPath, mHost, mAuthorization));
    } catch (const RuntimeError &) {
        // Not connected after all: the socket's error or the watchdog ends
        // the transfer.
    }
}

void CopyHelper::mWinsockControl_SendComplete()
{
    mStatus = QStringLiteral("Verbunden - Auf Antwort warten...");
}

void CopyHelper::mWinsockControl_DataArrival(qint32 bytesTotal)
{
    using Http::Decode;
    Decode step = Decode::NeedMore;
    qint64 taken = 0;
    bool failed = false;
    // Taking and decoding the data may fail in any way, running out of
    // memory for a large body included; every such failure ends the
    // transfer through the error path instead of reaching the event loop.
    try {
        mStatus = QStringLiteral("Verbunden - Daten empfangen...(")
                  + Utils::trimOneSpace(bytesTotal) + QStringLiteral(" bytes)");
        step = mResponse.receive(*mWinsockControl, bytesTotal, taken);
        mIdleTicks = 0;
    } catch (...) {
        failed = true;
    }

    if (failed)
        mWinsockControl_Error(kGetDataFailed, QStringLiteral("GetData fehlgeschlagen"));
    else if (taken == 0)
        mWinsockControl_Error(kEmptyArrival, QStringLiteral("0 Bytes zurückgeliefert"));
    else if (step != Decode::NeedMore)
        endWithResponse(); // the body is complete (or refused): no need to wait
}

QByteArray CopyHelper::ExtractBody(qint16 &code)
{
    return Http::cutContent(mResponse.header(), mResponse.takeBody(), mDataType, code);
}

// The response is over: its content replaces the previous one, unless it
// was too large, and the decoder's verdict (or the image search's) is the
// code.
void CopyHelper::endWithResponse()
{
    mFailure = mResponse.finish();
    qint16 code = Http::resultCode(mFailure);
    if (mFailure != Http::DecodeFailure::TooLarge) // nothing of it is kept
        mContents = ExtractBody(code);
    endTransfer(code);
}

void CopyHelper::mWinsockControl_Close()
{
    endWithResponse();
}

void CopyHelper::mWinsockControl_Error(int Number, const QString &Description)
{
    Q_UNUSED(Description); // kept for the handler's signature
    const SocketFailure failure = socketFailure(Number);
    if (!failure.retried || mAttempts >= kMaxAttempts) {
        endTransfer(failure.code);
        return;
    }
    mWinsockControl->Close();
    mBusy = false;
    if (!Dispatch(mSource))
        endTransfer(DownloadResult::RetryNotStarted);
}
