#include "platform/WinsockControl.h"

#include "base/RuntimeError.h"

#include <QHostInfo>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>

#include <cstring>
#include <limits>
#include <utility>

WinsockControl::WinsockControl(QObject *parent)
    : QObject(parent)
{}

WinsockControl::~WinsockControl()
{
    Close();
}

void WinsockControl::setProtocol(int protocol)
{
    if (protocol != sckTCPProtocol)
        throw RuntimeError(sckInvalidPropertyValue, "invalid property value");
}

void WinsockControl::Connect(const QString &host)
{
    if (mState != sckClosed)
        throw RuntimeError(sckInvalidOp, "invalid operation at current state");
    const quint64 generation = ++mGeneration;
    mState = sckResolvingHost;

    QHostAddress literal;
    if (literal.setAddress(host)) {
        // No lookup (QHostInfo would look the name of an address up), but
        // still delivered from the event loop like every other outcome.
        QMetaObject::invokeMethod(
                this,
                [this, generation, literal] {
                    if (generation == mGeneration)
                        resolved({literal});
                },
                Qt::QueuedConnection);
        return;
    }
    mLookupId = QHostInfo::lookupHost(host, this, [this, generation](const QHostInfo &info) {
        if (generation != mGeneration || info.lookupId() != mLookupId)
            return;
        mLookupId = -1;
        if (info.error() == QHostInfo::NoError && !info.addresses().isEmpty())
            resolved(info.addresses());
        else if (info.error() == QHostInfo::UnknownError)
            fail(sckHostNotFoundTryAgain,
                 QStringLiteral("Non-Authoritative answer: Host not found"));
        else
            fail(sckHostNotFound, QStringLiteral("Authoritative answer: Host not found"));
    });
}

void WinsockControl::resolved(const QList<QHostAddress> &addresses)
{
    mState = sckHostResolved;
    if (mRemotePort < 1 || mRemotePort > std::numeric_limits<quint16>::max()) {
        fail(sckAddressNotAvailable,
             QStringLiteral("Address is not available from the local machine"));
        return;
    }
    mAddresses = addresses;
    mLastError = 0;
    connectNext();
}

// Tries the resolved addresses in order ("localhost" may give ::1 first
// while a server listens on 127.0.0.1 only); the last failure is reported.
void WinsockControl::connectNext()
{
    releaseSocket();
    while (!mAddresses.isEmpty()) {
        switch (nativeConnect(mAddresses.takeFirst())) {
        case Connecting::Done:
            onConnected();
            return;
        case Connecting::InProgress:
            mState = sckConnecting;
            mWriteNotifier = new QSocketNotifier(mSocket, QSocketNotifier::Write, this);
            connect(mWriteNotifier, &QSocketNotifier::activated, this, &WinsockControl::onWritable);
            return;
        case Connecting::Failed:
            releaseSocket();
            break;
        }
    }
    failSystemError(mLastError);
}

void WinsockControl::onConnected()
{
    mState = sckConnected;
    if (!mWriteNotifier) {
        mWriteNotifier = new QSocketNotifier(mSocket, QSocketNotifier::Write, this);
        connect(mWriteNotifier, &QSocketNotifier::activated, this, &WinsockControl::onWritable);
    }
    mWriteNotifier->setEnabled(false);
    mReadNotifier = new QSocketNotifier(mSocket, QSocketNotifier::Read, this);
    connect(mReadNotifier, &QSocketNotifier::activated, this, &WinsockControl::onReadable);
    Q_EMIT connected();
}

void WinsockControl::onWritable()
{
    if (mState == sckConnecting) {
        const int failure = nativeConnectError();
        if (failure == 0) {
            onConnected();
        } else {
            mLastError = failure;
            connectNext();
        }
        return;
    }
    if (!nativeSend()) {
        failSystemError(mLastError);
        return;
    }
    if (mOutOffset < mOutbox.size())
        return; // the rest when the socket can take it
    mOutbox.clear();
    mOutOffset = 0;
    if (mWriteNotifier)
        mWriteNotifier->setEnabled(false);
    Q_EMIT sendComplete();
}

void WinsockControl::onReadable()
{
    if (mPendingError) {
        failSystemError(std::exchange(mPendingError, 0));
        return;
    }
    const qint64 queued = nativeBytesAvailable();
    if (queued > 0)
        return reportArrival(queued); // an end or error behind the data comes next time

    switch (nativePeek()) {
    case Peer::Quiet:
        return;
    case Peer::Failed:
        return failSystemError(mLastError);
    case Peer::Closed:
        mState = sckClosing;
        if (mReadNotifier)
            mReadNotifier->setEnabled(false);
        if (mWriteNotifier)
            mWriteNotifier->setEnabled(false);
        Q_EMIT closed();
    }
}

// Received bytes stay in the socket until the consumer reads them from
// within dataArrival, so that they land where they are kept without a copy.
// Bytes it leaves are moved into mUnread: left in the socket, they would
// wake the event loop again and again.
void WinsockControl::reportArrival(qint64 queued)
{
    const quint64 generation = mGeneration;
    const QPointer<WinsockControl> self(this);
    mReadDuring = false;
    Q_EMIT dataArrival(
            qint32(qMin<qint64>(mUnread.size() + queued, std::numeric_limits<qint32>::max())));
    if (self && generation == mGeneration && !mReadDuring) {
        const qsizetype old = mUnread.size();
        mUnread.resize(old + qsizetype(queued));
        mUnread.resize(old + qsizetype(nativeReceive(mUnread.data() + old, queued)));
    }
}

qint64 WinsockControl::read(char *buffer, qint64 maxLen)
{
    const qint64 fromUnread = qMin<qint64>(qMax<qint64>(maxLen, 0), mUnread.size());
    if (fromUnread > 0) {
        std::memcpy(buffer, mUnread.constData(), size_t(fromUnread));
        mUnread.remove(0, qsizetype(fromUnread));
    }
    const qint64 got = fromUnread + nativeReceive(buffer + fromUnread, maxLen - fromUnread);
    mReadDuring = mReadDuring || got > 0;
    return got;
}

QByteArray WinsockControl::GetData(qint64 maxLen)
{
    if (maxLen < 0)
        maxLen = mUnread.size() + nativeBytesAvailable();
    QByteArray data(qsizetype(maxLen), Qt::Uninitialized);
    data.resize(qsizetype(read(data.data(), maxLen)));
    return data;
}

void WinsockControl::SendData(const QByteArray &data)
{
    if (mState != sckConnected)
        throw RuntimeError(sckBadState, "wrong protocol or connection state");
    mOutbox.append(data);
    mWriteNotifier->setEnabled(true);
}

void WinsockControl::Close()
{
    ++mGeneration;
    if (mLookupId >= 0) {
        QHostInfo::abortHostLookup(mLookupId);
        mLookupId = -1;
    }
    releaseSocket();
    mAddresses.clear();
    mUnread = QByteArray();
    mPendingError = 0;
    mOutbox = QByteArray();
    mOutOffset = 0;
    mState = sckClosed;
}

void WinsockControl::fail(int number, const QString &description)
{
    releaseSocket();
    mAddresses.clear();
    mState = sckError;
    Q_EMIT error(number, description);
}

void WinsockControl::failSystemError(int systemError)
{
    const ErrorInfo info = errorFor(systemError);
    fail(info.number, info.description);
}

// The notifiers may be the very senders whose signal is being handled, so
// they are disabled now and deleted from the event loop.
void WinsockControl::releaseSocket()
{
    for (QSocketNotifier **notifier : {&mReadNotifier, &mWriteNotifier}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->disconnect(this);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
    nativeClose();
}
