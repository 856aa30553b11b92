#include "update/HeldRelease.h"

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Drops `prefix` and the blanks after it from the front of `text`; false
// when `text` does not begin with `prefix`.
bool takePrefix(QByteArrayView &text, QByteArrayView prefix)
{
    if (!text.startsWith(prefix))
        return false;
    text = text.sliced(prefix.size());
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    return true;
}

// The text up to the next blank, dropped from the front of `text` with the
// blanks after it.
QByteArrayView takeWord(QByteArrayView &text)
{
    qsizetype end = 0;
    while (end < text.size() && !isBlank(text[end]))
        ++end;
    const QByteArrayView word = text.first(end);
    text = text.sliced(end);
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    return word;
}

} // namespace

std::optional<SignedFor> signedFor(QByteArrayView trustedComment)
{
    QByteArrayView text = trustedComment;
    if (!takePrefix(text, "version:"))
        return std::nullopt;
    const std::optional<Version> version = parseVersion(takeWord(text));
    if (!version || !takePrefix(text, "file:"))
        return std::nullopt;
    const QByteArrayView name = takeWord(text);
    if (name.isEmpty() || !text.isEmpty())
        return std::nullopt;
    return SignedFor {*version, name.toByteArray()};
}

void HeldRelease::begin(const QString &keyLine)
{
    clear();
    mSigned = !keyLine.isEmpty();
    mKey = Minisign::parsePublicKey(keyLine.toLatin1());
    mOffered = {};
}

void HeldRelease::clear()
{
    updater = QByteArray();
    newProgram = QByteArray();
}

bool HeldRelease::verify(QByteArrayView file, QByteArrayView signatureFile,
                         QByteArrayView fileName) const
{
    if (!mKey)
        return false;
    const Minisign::Result result = Minisign::verify(file, signatureFile, *mKey);
    // The comment is signed with the file: an older release cannot be served
    // under a newer version text, nor one file under the other's name.
    return result.verdict == Minisign::Verdict::Valid
           && signedFor(result.trustedComment) == SignedFor {mOffered, fileName.toByteArray()};
}
