#include "downloader/DecodeFailure.h"

#include "downloader/DownloadResult.h"

namespace Http {

QString decodeFailureText(DecodeFailure failure)
{
    switch (failure) {
    case DecodeFailure::None:
        return QString();
    case DecodeFailure::HeaderLineTooLong:
        return QStringLiteral("Eine Kopfzeile der Antwort ist zu lang");
    case DecodeFailure::HeadTooLarge:
        return QStringLiteral("Der Kopf der Antwort ist zu groß");
    case DecodeFailure::TooManyInterim:
        return QStringLiteral("Der Server sendet zu viele Zwischenantworten");
    case DecodeFailure::BadContentLength:
        return QStringLiteral("Die Längenangabe der Antwort ist ungültig");
    case DecodeFailure::UnsupportedCoding:
        return QStringLiteral("Die Übertragungskodierung wird nicht unterstützt");
    case DecodeFailure::ChunkLineTooLong:
        return QStringLiteral("Die Zeile einer Blockgröße ist zu lang");
    case DecodeFailure::BadChunkSize:
        return QStringLiteral("Eine Blockgröße ist ungültig");
    case DecodeFailure::ChunkNotTerminated:
        return QStringLiteral("Ein Datenblock endet nicht mit einem Zeilenende");
    case DecodeFailure::TrailerTooLarge:
        return QStringLiteral("Der Nachspann der Antwort ist zu groß");
    case DecodeFailure::TooLarge:
        return QStringLiteral("Die Antwort ist größer als 256 MiB");
    case DecodeFailure::HeadUnfinished:
        return QStringLiteral("Die Antwort endet vor dem Ende ihres Kopfes");
    case DecodeFailure::BadStatusLine:
        return QStringLiteral("Die Antwort hat keine gültige Statuszeile");
    case DecodeFailure::StatusNotSuccess:
        return QStringLiteral("Der Server meldet einen Fehler statt der Datei");
    case DecodeFailure::BodyCutShort:
        return QStringLiteral("Die Antwort endet vor dem Ende der Daten");
    }
    return QString();
}

qint16 resultCode(DecodeFailure failure)
{
    switch (failure) {
    case DecodeFailure::None:
        return DownloadResult::Success;
    case DecodeFailure::TooLarge:
        return DownloadResult::SocketFailed;
    default:
        return DownloadResult::BadResponse;
    }
}

} // namespace Http
