#pragma once

#include "platform/ByteSource.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

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
//
// Receiving: dataArrival(bytesTotal) tells how many bytes wait; from within
// it the consumer reads them with read() (ByteSource) straight to where it
// keeps them, as many as it likes. Bytes it leaves are kept here and counted
// in the next dataArrival, so that a consumer that reads nothing is not told
// of the same bytes again and again.
//
// The calls into the system are the native* members, in
// WinsockControl_unix.cpp; another system's go into a file of their own.
class WinsockControl : public QObject, public ByteSource
{
    Q_OBJECT
public:
    // The states getStatus tells apart. This control, a client, goes from
    // closed to resolving, resolved, connecting, connected and, when the
    // peer closes, closing; a failure leaves it in error. Open, listening
    // and connection pending belong to listening sockets: never entered.
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
    enum Protocol { sckTCPProtocol = 0 };

    // The error numbers of the socket, Winsock style. A system error without
    // a number of its own is reported as sckUnlistedErrno + its value.
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

    void setRemotePort(qint32 port) { mRemotePort = port; }

    // Starts resolving host and connecting to the remote port; returns at
    // once. The outcome is connected() or error(). Raises sckInvalidOp when
    // the socket is not closed.
    void Connect(const QString &host);

    // Queues bytes for sending; sendComplete() follows once all queued bytes
    // are written. Raises sckBadState unless connected.
    void SendData(const QByteArray &data);

    // Takes up to maxLen received bytes (all of them for a negative maxLen).
    QByteArray GetData(qint64 maxLen = -1);
    // Takes up to maxLen received bytes into buffer; returns how many.
    qint64 read(char *buffer, qint64 maxLen) override;

    // Closes the connection and stops a pending resolution; state 0.
    void Close();

Q_SIGNALS:
    void connected();
    void sendComplete();
    void dataArrival(qint32 bytesTotal);
    void error(int number, const QString &description);
    void closed(); // orderly close by the peer

private:
    struct ErrorInfo
    {
        int number;
        QString description;
    };
    enum class Connecting { Done, InProgress, Failed };
    enum class Peer { Quiet, Closed, Failed };

    void resolved(const QList<QHostAddress> &addresses);
    void connectNext();
    void onConnected();
    void onWritable();
    void onReadable();
    void reportArrival(qint64 queued);
    void fail(int number, const QString &description);
    void failSystemError(int systemError);
    void releaseSocket();

    // The system's side. Errors are the system's own values (errno), kept
    // in mLastError, or in mPendingError while received bytes go first.
    static ErrorInfo errorFor(int systemError);
    Connecting nativeConnect(const QHostAddress &address); // opens mSocket
    int nativeConnectError() const; // a finished connect attempt: 0 or the error
    bool nativeSend();              // as much of mOutbox as the socket takes
    qint64 nativeReceive(char *buffer, qint64 maxLen);
    qint64 nativeBytesAvailable() const;
    Peer nativePeek(); // with nothing queued: closed by the peer, or not
    void nativeClose();

    int mState = sckClosed;
    qint32 mRemotePort = 0;
    qintptr mSocket = -1;
    int mLookupId = -1;
    quint64 mGeneration = 0; // bumped by Connect and Close: stale events are dropped
    QList<QHostAddress> mAddresses;
    int mLastError = 0;
    int mPendingError = 0; // met while receiving, reported after the data
    QSocketNotifier *mReadNotifier = nullptr;
    QSocketNotifier *mWriteNotifier = nullptr;
    QByteArray mUnread;       // received bytes the consumer left
    bool mReadDuring = false; // the consumer read during dataArrival
    QByteArray mOutbox;
    qsizetype mOutOffset = 0;
};
