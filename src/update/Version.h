#pragma once

#include <QByteArrayView>

#include <compare>
#include <optional>

// A program version: major, minor and revision, compared as numbers.
struct Version
{
    quint32 major = 0;
    quint32 minor = 0;
    quint32 revision = 0;

    friend auto operator<=>(const Version &, const Version &) = default;
};

// The version text without a leading UTF-8 byte order mark and without
// blanks, tabs and line breaks around it. Never fails; may be empty.
QByteArrayView trimVersionText(QByteArrayView text);

// Reads "major.minor.revision": three decimal numbers of 1 to 9 digits each
// (leading zeros allowed), after trimVersionText. Anything else, an empty
// text, two numbers, signs, inner blanks or an HTML page, gives nullopt.
// Pure; linear in the text's length.
std::optional<Version> parseVersion(QByteArrayView text);
