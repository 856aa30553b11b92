#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// 8-bit "ANSI" text: Windows-1252 in both directions. Every byte value
// decodes to one character and encodes back to the same byte.
namespace Ansi {

QString decode(QByteArrayView bytes);
QByteArray encode(QStringView text);

} // namespace Ansi
