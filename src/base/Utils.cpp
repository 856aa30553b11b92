#include "base/Utils.h"

namespace Utils {

QString addBackslash(const QString &folder)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

QString trimBlanks(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QString stripOne(const QString &text, QChar c)
{
    QString result = text;
    if (result.startsWith(c))
        result.remove(0, 1);
    if (result.endsWith(c))
        result.chop(1);
    return result;
}

QString trimOneSpace(const QString &value)
{
    return stripOne(value, QLatin1Char(' '));
}

QString trimOneSpace(qint64 value)
{
    return trimOneSpace(QString::number(value));
}

namespace {
template<typename Text, typename Find>
Text textUpTo(const Text &text, qsizetype start, int count, Find find)
{
    if (start < 1 || start > text.size() || count < 1)
        return Text();
    qsizetype hit = -1;
    qsizetype from = start - 1;
    for (int i = 0; i < count; ++i) {
        hit = find(from);
        if (hit < 0)
            break;
        from = hit + 1;
    }
    const qsizetype end = hit < 0 ? text.size() : hit;
    return text.mid(start - 1, end - (start - 1));
}
} // namespace

QString TextUpTo(const QString &text, const QString &delimiter, qsizetype start, int count,
                 bool caseSensitive)
{
    const Qt::CaseSensitivity cs = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    return textUpTo(text, start, count,
                    [&](qsizetype from) { return text.indexOf(delimiter, from, cs); });
}

QByteArray TextUpTo(const QByteArray &text, const QByteArray &delimiter, qsizetype start, int count)
{
    return textUpTo(text, start, count,
                    [&](qsizetype from) { return text.indexOf(delimiter, from); });
}

QString padNumber(const QString &strNumber, qint16 iWidth)
{
    const QString trimmed = trimBlanks(strNumber);
    qsizetype separator = trimmed.indexOf(QLatin1Char(','));
    if (separator < 0)
        separator = trimmed.indexOf(QLatin1Char('.'));
    const QString head = separator < 0 ? trimmed : trimmed.left(separator);
    const QString tail = separator < 0 ? QString() : trimmed.mid(separator);
    if (head.size() >= iWidth)
        return trimmed;
    return QString(iWidth - head.size(), QLatin1Char('0')) + head + tail;
}

} // namespace Utils
