#include "downloader/DownloadResult.h"

namespace DownloadResult {

QString text(qint16 code)
{
    switch (code) {
    case Success:
        return QStringLiteral("Die Übertragung ist vollständig.");
    case RetryNotStarted:
        return QStringLiteral("Die Übertragung konnte nicht gestartet werden.");
    case HostNotFound:
        return QStringLiteral("Der Name des Servers konnte nicht aufgelöst werden.");
    case SocketFailed:
        return QStringLiteral("Die Verbindung ist gescheitert, oder die Antwort war zu groß.");
    case ConnectionReset:
        return QStringLiteral("Der Server hat die Verbindung zurückgesetzt.");
    case NothingReceived:
        return QStringLiteral("Vom Server kamen keine Daten.");
    case ImageMarkersMissing:
        return QStringLiteral("Die Antwort enthält kein Bild.");
    case ConnectionAborted:
        return QStringLiteral("Die Verbindung wurde abgebrochen oder kam nicht zustande.");
    case TimedOut:
        return QStringLiteral("Der Server hat zu lange nichts gesendet.");
    case BadResponse:
        return QStringLiteral("Der Server hat keine gültige, vollständige Antwort gesendet.");
    default:
        return QStringLiteral("Unbekannter Fehler (%1).").arg(code);
    }
}

} // namespace DownloadResult
