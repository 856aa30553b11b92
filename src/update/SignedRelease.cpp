#include "update/SignedRelease.h"

std::optional<Version> signedVersion(QByteArrayView trustedComment)
{
    constexpr QByteArrayView prefix("version:");
    if (!trustedComment.startsWith(prefix))
        return std::nullopt;
    return parseVersion(trustedComment.sliced(prefix.size()));
}

void SignedRelease::begin(const QString &keyLine)
{
    clear();
    mSigned = !keyLine.isEmpty();
    mKey = Minisign::parsePublicKey(keyLine.toLatin1());
    mOffered = {};
}

void SignedRelease::clear()
{
    updater.clear();
    newProgram.clear();
}

bool SignedRelease::verify(QByteArrayView file, QByteArrayView signatureFile) const
{
    if (!mKey)
        return false;
    const Minisign::Result result = Minisign::verify(file, signatureFile, *mKey);
    // The comment is signed with the file: an older release cannot be served
    // under a newer version text.
    return result.verdict == Minisign::Verdict::Valid
           && signedVersion(result.trustedComment) == mOffered;
}
