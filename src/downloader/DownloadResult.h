#pragma once

#include <QString>
#include <QtGlobal>

// How a transfer ended: the code the parent's CHCallBack receives. The values
// are fixed (callers compare with them); the enum is unscoped so that a code
// passes as the callback's qint16 as it is.
namespace DownloadResult {

enum Code : qint16 {
    Success = 0,              // the response was complete and the content cut out
    RetryNotStarted = -1,     // the automatic retry could not be started
    HostNotFound = -2,        // the host name did not resolve
    SocketFailed = -3,        // any other socket error, taking data failed, or beyond 256 MiB
    ConnectionReset = -4,     // reset by the peer, no buffer space, or a socket control error
    NothingReceived = -5,     // an arrival delivered no bytes
    ImageMarkersMissing = -6, // JPEG mode without start and end marker
    ConnectionAborted = -7,   // connection aborted or timed out
    TimedOut = -8,            // the watchdog: too long idle, or too long in all
    BadResponse = -9,         // no valid, complete 2xx response (body as received)
};

// A short German text for the user that says how a transfer with this code
// ended; one for codes it does not know too.
QString text(qint16 code);

} // namespace DownloadResult
