#pragma once

#include <QByteArray>
#include <QString>

// Small text helpers shared by the whole program.
namespace Utils {

// An ASCII digit, whatever the locale.
constexpr bool isAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Space, tab, CR or LF: what is trimmed off a line read from a file or a server.
constexpr bool isLineBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The folder with the path separator appended unless it already ends in one;
// an empty text gives the separator alone.
QString addBackslash(const QString &folder);

// The text without leading and trailing blanks; tabs and other white space
// stay (unlike QString::trimmed).
QString trimBlanks(const QString &text);

// The text without its first character if that is c, then without its last
// character if that is now c.
QString stripOne(const QString &text, QChar c);

// The plain text form of a value, then without its first character if that is
// a blank and then without its last character if that is now a blank.
QString trimOneSpace(const QString &value);
QString trimOneSpace(qint64 value);

// The text from the 1-based position start up to, not including, the count-th
// occurrence of delimiter (each search starting one behind the previous hit),
// or the rest of the text when that occurrence is missing. "" when start lies
// outside the text or count is below 1.
QString TextUpTo(const QString &text, const QString &delimiter, qsizetype start, int count = 1,
                 bool caseSensitive = true);
// The same on byte text, which is compared byte for byte.
QByteArray TextUpTo(const QByteArray &text, const QByteArray &delimiter, qsizetype start,
                    int count = 1);

// strNumber trimmed, its integer part (up to the first "," or else the first
// ".") padded with zeros on the left to at least iWidth characters.
QString padNumber(const QString &strNumber, qint16 iWidth);

} // namespace Utils
