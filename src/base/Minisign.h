#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <optional>

// Checks a file against a signature in the format the minisign tool writes:
// Ed25519 (libsodium) over the file itself (legacy, "Ed") or over its
// BLAKE2b-512 hash (prehashed, "ED"), plus a global signature that binds the
// trusted comment to the file signature. Pure functions, bytes in and
// verdict out, linear in the sizes; nothing waits.
namespace Minisign {

// A public key: the key id the signatures name, and the Ed25519 key.
struct PublicKey
{
    std::array<unsigned char, 8> keyId {};
    std::array<unsigned char, 32> key {};
};

// Reads the base64 line of a minisign.pub (the second line of the file),
// blanks and line breaks around it allowed. nullopt for anything else: a
// wrong length, another algorithm than "Ed", base64 that is not exactly what
// the decoded bytes encode to.
std::optional<PublicKey> parsePublicKey(QByteArrayView base64Line);

enum class Verdict {
    Valid,
    Malformed,           // not the four lines of a .minisig, or bad base64
    UnknownAlgorithm,    // neither legacy "Ed" nor prehashed "ED"
    OtherKey,            // made with another key id
    BadFileSignature,    // the file or its signature was changed
    BadCommentSignature, // the trusted comment or the global signature was changed
    CryptoUnavailable,   // libsodium could not be started
};

struct Result
{
    Verdict verdict = Verdict::Malformed;
    // The trusted comment as signed (the text after "trusted comment: ");
    // empty unless the verdict is Valid.
    QByteArray trustedComment;
};

// Verifies `file` against the contents of its .minisig file with `key`.
// Line ends may be LF or CR LF; the last line break may be missing. The
// untrusted comment is not covered by any signature and is not looked at
// beyond its prefix.
Result verify(QByteArrayView file, QByteArrayView signatureFile, const PublicKey &key);

} // namespace Minisign
