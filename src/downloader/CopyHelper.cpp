#include "downloader/CopyHelper.h"

#include "base/RuntimeError.h"
#include "base/Utils.h"
#include "base/modBase64.h"
#include "platform/App.h"
#include "platform/Forms.h"
#include "platform/MsgBox.h"
#include "platform/TimerControl.h"
#include "platform/WinsockControl.h"

#include <QMetaObject>
#include <QTimer>

#include <cstdlib>

namespace {

constexpr int kMaxInstances = 100;
constexpr qint16 kTimeoutTicks = 10;

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

CopyHelper::CopyHelper(QObject *parent)
    : QObject(parent)
{
    int stage = 1;
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

        stage = 2;
        mWinsockControl = new WinsockControl(this);
        mWinsockControl->setObjectName(QStringLiteral("mWinsockControl"));

        stage = 3;
        mAttempts = 0;
        mBusy = false;
        mWatchdog->setInterval(1000);
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
        creationFailed(stage);
    }
}

void CopyHelper::creationFailed(int stage)
{
    static const char *const lines[] = {
            "Fehler beim Anlegen der Timer des CopyHelpers!",
            "WinSock- Objekte konnten nicht angelegt werden!",
            "Fehler beim Anlegen der Winsock oder Timer Objekte!",
    };
    MsgBox(QString::fromUtf8(lines[stage - 1])
                   + QStringLiteral("\r\nDas Programm muß beendet werden!"),
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
    if (vType < 0 || vType > 255)
        throw RuntimeError(RuntimeError::Overflow, "overflow");
    mDataType = quint8(vType);
}

bool CopyHelper::isBusy() const
{
    return mWinsockControl && mWinsockControl->State() != WinsockControl::sckClosed;
}

QString CopyHelper::statusText(int state, const QString &progress)
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

bool CopyHelper::Dispatch(const QString &strSource)
{
    try {
        // A running transfer is refused before anything of it is touched:
        // its retry still needs mSource and its response.
        if (isBusy())
            return false;

        mResponse.clear();
        mSource = strSource;
        mPort = 0;
        mUserInfo.clear();
        mAuthorization.clear();
        mHost.clear();
        mPath.clear();
        mChunkState = 0;

        const Http::UrlParts parts = Http::splitUrl(strSource);
        if (!parts.ok)
            return false;
        mUserInfo = parts.userInfo;
        if (!mUserInfo.isEmpty())
            mAuthorization = modBase64::encodeBase64(mUserInfo);
        mHost = parts.host;
        mPort = parts.port;
        mPath = parts.path;

        ++mAttempts;
        ++mTransfer;
        mBusy = true;
        mError = 0;
        mStatus.clear();
        mIdleTicks = 0;
        if (!mWatchdog)
            throw RuntimeError(91, "object variable not set");
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
        // The parent's failure does not change how the transfer ended.
    }
    --mCallbackDepth;
}

void CopyHelper::mWatchdog_Timer()
{
    if (!mBusy)
        return; // a tick that outlived its transfer
    if (++mIdleTicks < kTimeoutTicks)
        return;
    stopWatchdog();
    mIdleTicks = 0;
    mWinsockControl->Close();
    mResponse.clear();
    mError = -8;
    const quint64 transfer = mTransfer;
    callBack(mError);
    // The parent may have started its next transfer from the callback;
    // that one keeps its own state.
    if (transfer == mTransfer) {
        mAttempts = 0;
        mBusy = false;
    }
}

void CopyHelper::mWinsockControl_Connect()
{
    mStatus = QStringLiteral("Verbunden - Anfrage senden...");
    try {
        mWinsockControl->SendData(Http::buildRequest(mPath, mHost, mAuthorization));
    } catch (...) {
        // Skipped: the watchdog or the socket ends the transfer.
    }
}

void CopyHelper::mWinsockControl_SendComplete()
{
    mStatus = QStringLiteral("Verbunden - Auf Antwort warten...");
}

void CopyHelper::mWinsockControl_DataArrival(qint32 bytesTotal)
{
    using Progress = Http::ResponseDecoder::Progress;
    Progress progress = Progress::NeedMore;
    bool empty = false;
    bool failed = false;
    try {
        mStatus = QStringLiteral("Verbunden - Daten empfangen...(")
                  + Utils::trimOneSpace(bytesTotal) + QStringLiteral(" bytes)");
        const QByteArray arrival = mWinsockControl->GetData(bytesTotal);
        mIdleTicks = 0;
        empty = arrival.isEmpty();
        if (!empty) {
            progress = mResponse.feed(arrival);
            mChunkState = mResponse.chunkState();
        }
    } catch (...) {
        failed = true;
    }

    if (failed)
        mWinsockControl_Error(-3, QStringLiteral("GetData fehlgeschlagen"));
    else if (empty)
        mWinsockControl_Error(-5, QStringLiteral("0 Bytes zurückgeliefert"));
    else if (progress == Progress::TooLarge)
        abandon(-3);
    else if (progress != Progress::NeedMore)
        mWinsockControl_Close(); // the body is complete (or broken): no need to wait
}

QByteArray CopyHelper::ExtractBody()
{
    return Http::extractBody(mResponse.header(), mResponse.takeBody(), mDataType, mError);
}

void CopyHelper::mWinsockControl_Close()
{
    mIdleTicks = 0;
    stopWatchdog();
    mWinsockControl->Close();
    const qint16 verdict = mResponse.finish();
    if (mError == 0)
        mError = verdict;
    mContents = ExtractBody();
    mResponse.clear();
    mAttempts = 0;
    mBusy = false;
    callBack(mError);
}

// Ends the transfer at once, without a retry, like a socket error that is
// not retried; the response so far is dropped.
void CopyHelper::abandon(qint16 code)
{
    mIdleTicks = 0;
    mWinsockControl->Close();
    mBusy = false;
    stopWatchdog();
    mResponse.clear();
    mError = code;
    mAttempts = 0;
    callBack(mError);
}

void CopyHelper::mWinsockControl_Error(int Number, const QString &Description)
{
    Q_UNUSED(Description);
    mIdleTicks = 0;
    mWinsockControl->Close();
    mBusy = false;
    mResponse.clear();

    if (Number == WinsockControl::sckHostNotFound
        || Number == WinsockControl::sckHostNotFoundTryAgain)
        mError = -2;
    if (Number == WinsockControl::sckConnectAborted || Number == WinsockControl::sckTimedout)
        mError = -7;

    if (mError != 0 || mAttempts >= 2) {
        stopWatchdog();
        if (mError == 0)
            mError = -3;
        if (Number == 40026 || Number == WinsockControl::sckConnectionReset
            || Number == WinsockControl::sckNoBufferSpace)
            mError = -4;
        if (Number == -3)
            mError = -3;
        if (Number == -5)
            mError = -5;
        mAttempts = 0;
        callBack(mError);
        return;
    }

    if (!Dispatch(mSource)) {
        // The retry never started: end here, with the watchdog stopped so
        // that no second ending follows.
        stopWatchdog();
        mBusy = false;
        mAttempts = 0;
        callBack(-1);
    }
}
