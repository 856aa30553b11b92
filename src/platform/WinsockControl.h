#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

class QHostInfo;
class QSocketNotifier;

// A TCP client socket control: one non-blocking socket of its own, watched
// by QSocketNotifier on the event loop, names resolved with QHostInfo.
// Nothing here ever blocks. Every outcome arrives as a signal from the event
// loop, never from inside the call that caused it; after Close() no signal
// of the old connection arrives any more, even if Close() is called from a
// slot of one of them.
//
// Unlike QTcpSocket it tells an orderly close by the peer (closed) from a
// reset (error 10054), which the downloader treats differently.
class WinsockControl : public QObject
{
    Q_OBJECT
public:
    enum State {
        sckClosed = 0,
        sckOpen = 1,
        sckListening = 2,
        sckConnectionPending = 3,
        sckResolvingHost = 4,
        sckHostResolved = 5,
        sckConnecting = 6,
        sckConnected = 7,
        sckClosing = 8,
        sckError = 9,
    };
    enum Protocol { sckTCPProtocol = 0, sckUDPProtocol = 1 };

    // The error numbers of the socket, Winsock style. An errno value without
    // a number of its own is reported as sckUnlistedErrno + errno.
    enum ErrorNumber {
        sckInvalidPropertyValue = 380,
        sckPermissionDenied = 10013,
        sckInvalidArgument = 10022,
        sckTooManyOpenFiles = 10024,
        sckAddressFamilyNotSupported = 10047,
        sckAddressInUse = 10048,
        sckAddressNotAvailable = 10049,
        sckNetworkSubsystemFailed = 10050,
        sckNetworkUnreachable = 10051,
        sckNetReset = 10052,
        sckConnectAborted = 10053,
        sckConnectionReset = 10054,
        sckNoBufferSpace = 10055,
        sckNotConnected = 10057,
        sckSocketShutdown = 10058,
        sckTimedout = 10060,
        sckConnectionRefused = 10061,
        sckHostDown = 10064,
        sckHostUnreachable = 10065,
        sckHostNotFound = 11001,
        sckHostNotFoundTryAgain = 11002,
        sckUnlistedErrno = 20000,
        sckBadState = 40006,
        sckInvalidOp = 40020,
        sckWrongProtocol = 40026, // reported by the control itself, not the network
    };

    explicit WinsockControl(QObject *parent = nullptr);
    ~WinsockControl() override;

    int State() const { return mState; }

    // Only TCP is offered; anything else raises sckInvalidPropertyValue.
    void setProtocol(int protocol);

    qint32 RemotePort() const { return mRemotePort; }
    void setRemotePort(qint32 port) { mRemotePort = port; }

    // Starts resolving host and connecting to RemotePort; returns at once.
    // The outcome is connected() or error(). Raises sckInvalidOp when the
    // socket is not closed.
    void Connect(const QString &host);

    // Queues bytes for sending; sendComplete() follows once all queued bytes
    // are written. Raises sckBadState unless connected.
    void SendData(const QByteArray &data);

    // Takes up to maxLen received bytes (all of them for a negative maxLen).
    QByteArray GetData(qint64 maxLen = -1);
    // Takes up to maxLen received bytes into buffer, without a copy of its
    // own; returns how many. Never waits.
    qint64 GetDataInto(char *buffer, qint64 maxLen);

    // Closes the connection and stops a pending resolution; state 0.
    void Close();

    // The socket's error number and text for an errno value.
    struct ErrorInfo
    {
        int number;
        QString description;
    };
    static ErrorInfo errorFor(int errnoValue);

Q_SIGNALS:
    void connected();
    void sendComplete();
    void dataArrival(qint32 bytesTotal);
    void error(int number, const QString &description);
    void closed(); // orderly close by the peer

private:
    void resolved(const QList<QHostAddress> &addresses);
    void connectNext();
    void onWritable();
    void onReadable();
    qint64 queuedBytes() const;
    qint64 receive(char *buffer, qint64 maxLen);
    void onConnected();
    void fail(int number, const QString &description);
    void failErrno(int errnoValue);
    void releaseSocket();

    int mState = sckClosed;
    qint32 mRemotePort = 0;
    int mFd = -1;
    int mLookupId = -1;
    quint64 mGeneration = 0; // bumped by Connect and Close: stale events are dropped
    QList<QHostAddress> mAddresses;
    int mLastErrno = 0;
    QSocketNotifier *mReadNotifier = nullptr;
    QSocketNotifier *mWriteNotifier = nullptr;
    QByteArray mInbox;     // received bytes the consumer left in the socket
    int mPendingErrno = 0; // an error met while taking data, reported next
    bool mTaken = false;   // the consumer took data during dataArrival
    QByteArray mOutbox;
    qsizetype mOutOffset = 0;
};
