#include "base/Ansi.h"

#include <QStringDecoder>
#include <QStringEncoder>

// One converter each for the whole run: opening a code-page converter costs
// far more than converting a line. Windows-1252 has no multi-byte state, so
// stateless converters can be shared by every caller on the one thread.
namespace Ansi {

QString decode(QByteArrayView bytes)
{
    static QStringDecoder decoder("windows-1252", QStringConverter::Flag::Stateless);
    if (!decoder.isValid()) // a Qt built without ICU: the nearest code page
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray encode(QStringView text)
{
    static QStringEncoder encoder("windows-1252", QStringConverter::Flag::Stateless);
    if (!encoder.isValid())
        return text.toLatin1();
    return encoder.encode(text);
}

} // namespace Ansi
