#include "platform/WinsockControl.h"

#include "base/RuntimeError.h"

#include <QHostInfo>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <limits>
#include <netinet/in.h>
#include <unistd.h>

#include <sys/ioctl.h>
#include <sys/socket.h>

namespace {

// errno values and the numbers the socket reports for them. Numbers not in
// this table are sckUnlistedErrno + errno, clear of every Winsock number.
struct ErrnoEntry
{
    int errnoValue;
    int number;
    const char *description;
};
constexpr ErrnoEntry kErrnoTable[] = {
        {ECONNRESET, WinsockControl::sckConnectionReset, "Connection is reset by remote side"},
        {ECONNREFUSED, WinsockControl::sckConnectionRefused, "Connection is forcefully rejected"},
        {ETIMEDOUT, WinsockControl::sckTimedout, "Attempt to connect timed out"},
        {ECONNABORTED, WinsockControl::sckConnectAborted,
         "Connection is aborted due to timeout or other failure"},
        {ENOBUFS, WinsockControl::sckNoBufferSpace, "No buffer space is available"},
        {EADDRNOTAVAIL, WinsockControl::sckAddressNotAvailable,
         "Address is not available from the local machine"},
        {EACCES, WinsockControl::sckPermissionDenied, "Permission denied"},
        {EINVAL, WinsockControl::sckInvalidArgument, "Invalid argument"},
        {EMFILE, WinsockControl::sckTooManyOpenFiles, "Too many open files"},
        {EAFNOSUPPORT, WinsockControl::sckAddressFamilyNotSupported,
         "Address family is not supported"},
        {EADDRINUSE, WinsockControl::sckAddressInUse, "Address in use"},
        {ENETDOWN, WinsockControl::sckNetworkSubsystemFailed, "Network is down"},
        {ENETUNREACH, WinsockControl::sckNetworkUnreachable, "Network is unreachable"},
        {ENETRESET, WinsockControl::sckNetReset,
         "Connection has timed out when SO_KEEPALIVE is set"},
        {ENOTCONN, WinsockControl::sckNotConnected, "Socket is not connected"},
        {EPIPE, WinsockControl::sckSocketShutdown, "Socket has been shut down"},
        {EHOSTDOWN, WinsockControl::sckHostDown, "Host is down"},
        {EHOSTUNREACH, WinsockControl::sckHostUnreachable, "Host is unreachable"},
};

} // namespace

WinsockControl::ErrorInfo WinsockControl::errorFor(int errnoValue)
{
    for (const ErrnoEntry &entry : kErrnoTable) {
        if (entry.errnoValue == errnoValue)
            return {entry.number, QString::fromLatin1(entry.description)};
    }
    return {sckUnlistedErrno + errnoValue, QString::fromLocal8Bit(std::strerror(errnoValue))};
}

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
    mLastErrno = 0;
    connectNext();
}

// Tries the resolved addresses in order ("localhost" may give ::1 first
// while a server listens on 127.0.0.1 only); the last failure is reported.
void WinsockControl::connectNext()
{
    releaseSocket();
    while (!mAddresses.isEmpty()) {
        const QHostAddress address = mAddresses.takeFirst();
        sockaddr_storage storage {};
        socklen_t length = 0;
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            auto *in = reinterpret_cast<sockaddr_in *>(&storage);
            in->sin_family = AF_INET;
            in->sin_port = htons(quint16(mRemotePort));
            in->sin_addr.s_addr = htonl(address.toIPv4Address());
            length = sizeof(sockaddr_in);
        } else if (address.protocol() == QAbstractSocket::IPv6Protocol) {
            auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
            in6->sin6_family = AF_INET6;
            in6->sin6_port = htons(quint16(mRemotePort));
            const Q_IPV6ADDR bytes = address.toIPv6Address();
            std::memcpy(&in6->sin6_addr, bytes.c, sizeof(bytes.c));
            length = sizeof(sockaddr_in6);
        } else {
            mLastErrno = EAFNOSUPPORT;
            continue;
        }

        mFd = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (mFd < 0) {
            mLastErrno = errno;
            continue;
        }
        int rc;
        do {
            rc = ::connect(mFd, reinterpret_cast<sockaddr *>(&storage), length);
        } while (rc < 0 && errno == EINTR);
        if (rc == 0) {
            onConnected();
            return;
        }
        if (errno == EINPROGRESS) {
            mState = sckConnecting;
            mWriteNotifier = new QSocketNotifier(mFd, QSocketNotifier::Write, this);
            connect(mWriteNotifier, &QSocketNotifier::activated, this, &WinsockControl::onWritable);
            return;
        }
        mLastErrno = errno;
        releaseSocket();
    }
    failErrno(mLastErrno ? mLastErrno : ECONNREFUSED);
}

void WinsockControl::onConnected()
{
    mState = sckConnected;
    if (!mWriteNotifier) {
        mWriteNotifier = new QSocketNotifier(mFd, QSocketNotifier::Write, this);
        connect(mWriteNotifier, &QSocketNotifier::activated, this, &WinsockControl::onWritable);
    }
    mWriteNotifier->setEnabled(false);
    mReadNotifier = new QSocketNotifier(mFd, QSocketNotifier::Read, this);
    connect(mReadNotifier, &QSocketNotifier::activated, this, &WinsockControl::onReadable);
    Q_EMIT connected();
}

void WinsockControl::onWritable()
{
    if (mState == sckConnecting) {
        int failure = 0;
        socklen_t size = sizeof(failure);
        if (::getsockopt(mFd, SOL_SOCKET, SO_ERROR, &failure, &size) < 0)
            failure = errno;
        if (failure == 0) {
            onConnected();
        } else {
            mLastErrno = failure;
            connectNext();
        }
        return;
    }

    while (mOutOffset < mOutbox.size()) {
        const ssize_t sent = ::send(mFd, mOutbox.constData() + mOutOffset,
                                    size_t(mOutbox.size() - mOutOffset), MSG_NOSIGNAL);
        if (sent > 0) {
            mOutOffset += sent;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return; // the rest when the socket can take it
        } else if (errno != EINTR) {
            failErrno(errno);
            return;
        }
    }
    mOutbox.clear();
    mOutOffset = 0;
    if (mWriteNotifier)
        mWriteNotifier->setEnabled(false);
    Q_EMIT sendComplete();
}

// Received bytes stay in the socket until the consumer takes them from
// within dataArrival (GetData, GetDataInto), so that they can land where they
// are kept without a copy. Bytes it leaves are moved into mInbox, so that
// the socket does not report them again and again.
void WinsockControl::onReadable()
{
    if (mPendingErrno) {
        failErrno(std::exchange(mPendingErrno, 0));
        return;
    }
    const qint64 queued = queuedBytes();
    if (queued > 0) {
        const quint64 generation = mGeneration;
        const QPointer<WinsockControl> self(this);
        mTaken = false;
        Q_EMIT dataArrival(
                qint32(qMin<qint64>(mInbox.size() + queued, std::numeric_limits<qint32>::max())));
        if (self && generation == mGeneration && !mTaken) {
            const qsizetype old = mInbox.size();
            mInbox.resize(old + qsizetype(queued));
            mInbox.resize(old + qsizetype(receive(mInbox.data() + old, queued)));
        }
        return; // an end or error behind the data makes the socket readable again
    }

    // Nothing queued: the peer closed the connection or reset it.
    char probe;
    ssize_t n;
    do {
        n = ::recv(mFd, &probe, 1, MSG_PEEK);
    } while (n < 0 && errno == EINTR);
    if (n > 0)
        return; // data came in meanwhile: the next wakeup reports it
    if (n < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            failErrno(errno);
        return;
    }
    mState = sckClosing;
    if (mReadNotifier)
        mReadNotifier->setEnabled(false);
    if (mWriteNotifier)
        mWriteNotifier->setEnabled(false);
    Q_EMIT closed();
}

qint64 WinsockControl::queuedBytes() const
{
    int queued = 0;
    if (mFd < 0 || ::ioctl(mFd, FIONREAD, &queued) < 0)
        return 0;
    return queued;
}

// Reads up to maxLen bytes from the socket, until it has no more. An error
// is kept for the next readable event, which reports it after the data.
qint64 WinsockControl::receive(char *buffer, qint64 maxLen)
{
    qint64 got = 0;
    while (got < maxLen && mFd >= 0) {
        const ssize_t n = ::recv(mFd, buffer + got, size_t(maxLen - got), 0);
        if (n > 0) {
            got += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                mPendingErrno = errno;
            break; // n == 0: the peer closed; the next readable event says so
        }
    }
    return got;
}

qint64 WinsockControl::GetDataInto(char *buffer, qint64 maxLen)
{
    const qint64 fromInbox = qMin<qint64>(qMax<qint64>(maxLen, 0), mInbox.size());
    if (fromInbox > 0) {
        std::memcpy(buffer, mInbox.constData(), size_t(fromInbox));
        mInbox.remove(0, qsizetype(fromInbox));
    }
    const qint64 got = fromInbox + receive(buffer + fromInbox, maxLen - fromInbox);
    mTaken = mTaken || got > 0;
    return got;
}

void WinsockControl::SendData(const QByteArray &data)
{
    if (mState != sckConnected)
        throw RuntimeError(sckBadState, "wrong protocol or connection state");
    mOutbox.append(data);
    mWriteNotifier->setEnabled(true);
}

QByteArray WinsockControl::GetData(qint64 maxLen)
{
    if (maxLen < 0)
        maxLen = mInbox.size() + queuedBytes();
    QByteArray data(qsizetype(maxLen), Qt::Uninitialized);
    data.resize(qsizetype(GetDataInto(data.data(), maxLen)));
    return data;
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
    mInbox = QByteArray();
    mPendingErrno = 0;
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

void WinsockControl::failErrno(int errnoValue)
{
    const ErrorInfo info = errorFor(errnoValue);
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
    if (mFd >= 0) {
        ::close(mFd);
        mFd = -1;
    }
}
