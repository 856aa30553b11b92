#pragma once

#include "base/Minisign.h"
#include "update/Version.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The version a trusted comment names: "version:", blanks, then a version
// text ("version: 1.2.0", as `minisign -t` writes it). nullopt for any other
// comment. Pure.
std::optional<Version> signedVersion(QByteArrayView trustedComment);

// What an update chain holds while it runs with a release key: the key, the
// version the user accepted, and the program files that have arrived but
// are not written yet. The chain writes nothing of a release before both
// files are verified.
class SignedRelease
{
public:
    // Starts over for a new chain. `keyLine` is the release key (the base64
    // line of a minisign.pub); empty means updates are not signed. A key
    // that does not parse refuses every file.
    void begin(const QString &keyLine);
    // Drops the files held.
    void clear();

    bool isSigned() const { return mSigned; }
    void offer(const Version &version) { mOffered = version; }

    // True when `signatureFile` is a good minisign signature of `file` by the
    // release key whose trusted comment names the offered version. Pure;
    // linear in the sizes.
    bool verify(QByteArrayView file, QByteArrayView signatureFile) const;

    QByteArray updater;
    QByteArray newProgram;

private:
    bool mSigned = false;
    std::optional<Minisign::PublicKey> mKey;
    Version mOffered;
};
