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

#include <sys/socket.h>

namespace {

// Received bytes are taken in large pieces: few events, few copies.
constexpr qsizetype kReadPiece = 256 * 1024;
constexpr qsizetype kReadPerEvent = 1024 * 1024;

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

void WinsockControl::onReadable()
{
    const quint64 generation = mGeneration;
    const QPointer<WinsockControl> self(this);
    bool peerClosed = false;
    int failure = 0;
    qsizetype received = 0;

    if (mInbox.capacity() - mInbox.size() < kReadPerEvent)
        mInbox.reserve(mInbox.size() + kReadPerEvent);
    while (received < kReadPerEvent) {
        const qsizetype old = mInbox.size();
        mInbox.resize(old + kReadPiece);
        const ssize_t n = ::recv(mFd, mInbox.data() + old, size_t(kReadPiece), 0);
        const int saved = errno;
        mInbox.resize(old + (n > 0 ? n : 0));
        if (n > 0) {
            received += n;
        } else if (n == 0) {
            peerClosed = true;
            break;
        } else if (saved != EINTR) {
            if (saved != EAGAIN && saved != EWOULDBLOCK)
                failure = saved;
            break;
        }
    }

    if (received > 0) {
        Q_EMIT dataArrival(qint32(qMin<qsizetype>(mInbox.size(), 0x7fffffff)));
        if (!self || generation != mGeneration)
            return; // closed, reconnected or gone inside the slot
    }
    if (failure) {
        failErrno(failure);
    } else if (peerClosed) {
        mState = sckClosing;
        if (mReadNotifier)
            mReadNotifier->setEnabled(false);
        if (mWriteNotifier)
            mWriteNotifier->setEnabled(false);
        Q_EMIT closed();
    }
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
    if (maxLen < 0 || maxLen >= mInbox.size())
        return std::exchange(mInbox, QByteArray());
    QByteArray piece = mInbox.left(qsizetype(maxLen));
    mInbox.remove(0, qsizetype(maxLen));
    return piece;
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
