#pragma once

#include <QString>

// Read access to the two file-type registrations the program looks at, answered
// from the freedesktop MIME associations (mimeapps.list and desktop files):
//
//   ".html"                       -> desktop-file id of the default web browser:
//                                    the default for x-scheme-handler/http, or,
//                                    where none is installed, for text/html
//   "<id>\shell\open\command"     -> the Exec value of that desktop file
//
// The XDG_* environment variables are read on every call, so a changed
// environment is seen at once.
namespace modRegistry {

enum RootKey : quint32 {
    HKEY_CLASSES_ROOT = 0x80000000u,
};

// The longest value that can be read; a longer one reads as "".
constexpr qsizetype MaxValueLength = 254;

// The default value (strValueName empty) of a key under HKEY_CLASSES_ROOT, or ""
// on any failure: another root key or value name, an unknown key, a missing,
// hidden or Exec-less desktop file, a value longer than MaxValueLength. Never
// throws.
QString regQueryString(quint32 hKey, const QString &strSubKey, const QString &strValueName);

} // namespace modRegistry
