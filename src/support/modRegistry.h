#pragma once

#include <QString>

namespace modRegistry {

enum RootKey : quint32 {
    HKEY_CLASSES_ROOT = 0x80000000u,
};

// The default value of a key under HKEY_CLASSES_ROOT, or "" on any failure.
QString regQueryString(quint32 hKey, const QString &strSubKey, const QString &strValueName);

} // namespace modRegistry
