// The socket control's calls into a POSIX system (Linux: SOCK_NONBLOCK,
// SOCK_CLOEXEC and MSG_NOSIGNAL), and the mapping of errno values to the
// control's error numbers.

#include "platform/WinsockControl.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
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

bool wouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

// The socket address of address and port; its length, 0 for a protocol
// other than IPv4 and IPv6.
socklen_t socketAddress(const QHostAddress &address, quint16 port, sockaddr_storage &storage)
{
    storage = {};
    if (address.protocol() == QAbstractSocket::IPv4Protocol) {
        auto *in = reinterpret_cast<sockaddr_in *>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
        return sizeof(sockaddr_in);
    }
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, sizeof(bytes.c));
        return sizeof(sockaddr_in6);
    }
    return 0;
}

} // namespace

WinsockControl::ErrorInfo WinsockControl::errorFor(int systemError)
{
    for (const ErrnoEntry &entry : kErrnoTable) {
        if (entry.errnoValue == systemError)
            return {entry.number, QString::fromLatin1(entry.description)};
    }
    return {sckUnlistedErrno + systemError, QString::fromLocal8Bit(std::strerror(systemError))};
}

// A socket that never blocks and is not inherited by started programs.
WinsockControl::Connecting WinsockControl::nativeConnect(const QHostAddress &address)
{
    sockaddr_storage storage;
    const socklen_t length = socketAddress(address, quint16(mRemotePort), storage);
    if (length == 0) {
        mLastError = EAFNOSUPPORT;
        return Connecting::Failed;
    }
    mSocket = ::socket(storage.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (mSocket < 0) {
        mLastError = errno;
        return Connecting::Failed;
    }
    int rc;
    do {
        rc = ::connect(int(mSocket), reinterpret_cast<sockaddr *>(&storage), length);
    } while (rc < 0 && errno == EINTR);
    if (rc == 0)
        return Connecting::Done;
    if (errno == EINPROGRESS)
        return Connecting::InProgress;
    mLastError = errno;
    return Connecting::Failed;
}

int WinsockControl::nativeConnectError() const
{
    int failure = 0;
    socklen_t size = sizeof(failure);
    if (::getsockopt(int(mSocket), SOL_SOCKET, SO_ERROR, &failure, &size) < 0)
        failure = errno;
    return failure;
}

// A peer that has gone raises no SIGPIPE: the error comes back as EPIPE.
bool WinsockControl::nativeSend()
{
    while (mOutOffset < mOutbox.size()) {
        const ssize_t sent = ::send(int(mSocket), mOutbox.constData() + mOutOffset,
                                    size_t(mOutbox.size() - mOutOffset), MSG_NOSIGNAL);
        if (sent > 0) {
            mOutOffset += sent;
        } else if (wouldBlock(errno)) {
            return true;
        } else if (errno != EINTR) {
            mLastError = errno;
            return false;
        }
    }
    return true;
}

// Reads up to maxLen bytes, until the socket has no more. An error is kept
// for the next readable event, which reports it after the data.
qint64 WinsockControl::nativeReceive(char *buffer, qint64 maxLen)
{
    qint64 got = 0;
    while (got < maxLen && mSocket >= 0) {
        const ssize_t n = ::recv(int(mSocket), buffer + got, size_t(maxLen - got), 0);
        if (n > 0) {
            got += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0 && !wouldBlock(errno))
                mPendingError = errno;
            break; // n == 0: the peer closed; the next readable event says so
        }
    }
    return got;
}

qint64 WinsockControl::nativeBytesAvailable() const
{
    int queued = 0;
    if (mSocket < 0 || ::ioctl(int(mSocket), FIONREAD, &queued) < 0)
        return 0;
    return queued;
}

WinsockControl::Peer WinsockControl::nativePeek()
{
    char probe;
    ssize_t n;
    do {
        n = ::recv(int(mSocket), &probe, 1, MSG_PEEK);
    } while (n < 0 && errno == EINTR);
    if (n == 0)
        return Peer::Closed;
    if (n > 0 || wouldBlock(errno))
        return Peer::Quiet; // data came in meanwhile: the next wakeup reports it
    mLastError = errno;
    return Peer::Failed;
}

void WinsockControl::nativeClose()
{
    if (mSocket >= 0) {
        ::close(int(mSocket));
        mSocket = -1;
    }
}
