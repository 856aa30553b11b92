#pragma once

#include "base/Minisign.h"
#include "update/Version.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// What a trusted comment says a signature is for: "version: 1.2.0 file:
// New.exe", as scripts/make-release.sh signs it (blanks or tabs between the
// parts, none inside the name).
struct SignedFor
{
    Version version;
    QByteArray fileName;

    friend bool operator==(const SignedFor &, const SignedFor &) = default;
};

// nullopt for any other comment. Pure; linear in the comment's length.
std::optional<SignedFor> signedFor(QByteArrayView trustedComment);

// The release an update chain holds while it runs: the release key, if the
// build has one, the version the user accepted, and the two program files
// once they have arrived. Nothing of it is written before both files are
// there (and, with a key, verified).
class HeldRelease
{
public:
    // Starts over for a new chain. `keyLine` is the release key (the base64
    // line of a minisign.pub); empty means updates are not signed. A key
    // that does not parse refuses every file.
    void begin(const QString &keyLine);
    // Drops the files held and gives their memory back.
    void clear();

    bool isSigned() const { return mSigned; }
    void offer(const Version &version) { mOffered = version; }

    // True when `signatureFile` is a good minisign signature of `file` by the
    // release key, made for the offered version and for `fileName`: a
    // signature of one file never passes for the other. Pure; linear in the
    // sizes.
    bool verify(QByteArrayView file, QByteArrayView signatureFile, QByteArrayView fileName) const;

    QByteArray updater;
    QByteArray newProgram;

private:
    bool mSigned = false;
    std::optional<Minisign::PublicKey> mKey;
    Version mOffered;
};
