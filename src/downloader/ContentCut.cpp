#include "downloader/ContentCut.h"

#include "downloader/DownloadResult.h"

#include <QByteArrayView>

#include <cstring>

namespace Http {

namespace {

// Spare room a result may keep.
constexpr qsizetype kSpareRoom = 1024 * 1024;

// The first position of a two-byte marker in a + b, as if they were joined.
qsizetype indexAcross(const QByteArray &a, const QByteArray &b, QByteArrayView marker)
{
    qsizetype at = a.indexOf(marker);
    if (at >= 0)
        return at;
    if (a.endsWith(marker[0]) && b.startsWith(marker[1]))
        return a.size() - 1;
    at = b.indexOf(marker);
    return at >= 0 ? a.size() + at : -1;
}

// The last position of a two-byte marker in a + b, as if they were joined.
qsizetype lastIndexAcross(const QByteArray &a, const QByteArray &b, QByteArrayView marker)
{
    const qsizetype at = b.lastIndexOf(marker);
    if (at >= 0)
        return a.size() + at;
    if (a.endsWith(marker[0]) && b.startsWith(marker[1]))
        return a.size() - 1;
    return a.lastIndexOf(marker);
}

// Gives spare room back in place. Only for a block that begins at its
// start: squeezing one whose front was cut off would copy it.
QByteArray trimmed(QByteArray bytes)
{
    if (bytes.capacity() - bytes.size() > kSpareRoom)
        bytes.squeeze();
    return bytes;
}

// front + body in body's own block: the body moved up, the front copied in
// front of it. QByteArray::prepend would reallocate a large block instead.
QByteArray prependInPlace(QByteArrayView front, QByteArray body)
{
    const qsizetype bodySize = body.size();
    body.resize(front.size() + bodySize);
    char *d = body.data();
    std::memmove(d + front.size(), d, size_t(bodySize));
    std::memcpy(d, front.data(), size_t(front.size()));
    return body;
}

QByteArray cutImage(const QByteArray &header, QByteArray body, qint16 &error)
{
    static const QByteArrayView start("\xFF\xD8", 2);
    static const QByteArrayView end("\xFF\xD9", 2);
    const qsizetype first = indexAcross(header, body, start);
    const qsizetype last = lastIndexAcross(header, body, end);
    if (first < 0 || last <= first) {
        if (error == DownloadResult::Success)
            error = DownloadResult::ImageMarkersMissing;
        return trimmed(prependInPlace(header, std::move(body)));
    }
    const qsizetype h = header.size();
    body.truncate(qMax<qsizetype>(0, last + 2 - h));
    if (first < h) // the image begins in the header
        return trimmed(prependInPlace(
                QByteArrayView(header).sliced(first, qMin(last + 2, h) - first), std::move(body)));
    body = trimmed(std::move(body));
    body.remove(0, first - h); // moves where the bytes begin; copies nothing
    return body;
}

} // namespace

QByteArray cutContent(const QByteArray &header, QByteArray body, quint8 dataType, qint16 &error)
{
    switch (dataType) {
    case HttpBody:
        return trimmed(std::move(body));
    case JpegImage:
        return cutImage(header, std::move(body), error);
    default:
        return QByteArray();
    }
}

} // namespace Http
