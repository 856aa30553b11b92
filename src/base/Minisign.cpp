#include "base/Minisign.h"

#include "base/Utils.h"

#include <algorithm>
#include <sodium.h>

namespace {

// Two bytes at the start of every key and signature.
constexpr QByteArrayView legacyAlgorithm("Ed");
constexpr QByteArrayView prehashedAlgorithm("ED");

constexpr QByteArrayView untrustedPrefix("untrusted comment: ");
constexpr QByteArrayView trustedPrefix("trusted comment: ");

constexpr qsizetype algorithmSize = 2;
constexpr qsizetype keyIdSize = 8;
constexpr qsizetype publicKeySize = algorithmSize + keyIdSize + crypto_sign_PUBLICKEYBYTES;
constexpr qsizetype signatureSize = algorithmSize + keyIdSize + crypto_sign_BYTES;
constexpr qsizetype prehashSize = crypto_generichash_BYTES_MAX; // BLAKE2b-512

// The four lines of a .minisig.
enum SignatureLine { untrustedLine, signatureLine, trustedLine, globalSignatureLine, lineCount };

// Decodes base64 that is exactly `size` bytes in canonical form: padded, no
// stray bits. Any edit of the text therefore changes the bytes or fails.
std::optional<QByteArray> decodeExact(QByteArrayView text, qsizetype size)
{
    const QByteArray encoded = text.toByteArray();
    auto decoded = QByteArray::fromBase64Encoding(encoded, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != size || decoded.decoded.toBase64() != encoded)
        return std::nullopt;
    return decoded.decoded;
}

const unsigned char *bytes(QByteArrayView view)
{
    return reinterpret_cast<const unsigned char *>(view.data());
}

// Splits the signature file into its four lines without their line ends;
// false unless there are exactly four, the last line break optional.
bool splitLines(QByteArrayView text, std::array<QByteArrayView, lineCount> &lines)
{
    int count = 0;
    while (!text.isEmpty()) {
        if (count == lineCount)
            return false; // more than a final line break after the last line
        const qsizetype end = text.indexOf('\n');
        QByteArrayView line = end < 0 ? text : text.first(end);
        text = end < 0 ? QByteArrayView() : text.sliced(end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        lines[count++] = line;
    }
    return count == lineCount;
}

} // namespace

namespace Minisign {

std::optional<PublicKey> parsePublicKey(QByteArrayView base64Line)
{
    while (!base64Line.isEmpty() && Utils::isLineBlank(base64Line.front()))
        base64Line = base64Line.sliced(1);
    while (!base64Line.isEmpty() && Utils::isLineBlank(base64Line.back()))
        base64Line.chop(1);
    const std::optional<QByteArray> raw = decodeExact(base64Line, publicKeySize);
    if (!raw || !raw->startsWith(legacyAlgorithm))
        return std::nullopt;
    PublicKey key;
    const auto *at = bytes(*raw) + algorithmSize;
    std::copy_n(at, keyIdSize, key.keyId.begin());
    std::copy_n(at + keyIdSize, crypto_sign_PUBLICKEYBYTES, key.key.begin());
    return key;
}

Result verify(QByteArrayView file, QByteArrayView signatureFile, const PublicKey &key)
{
    std::array<QByteArrayView, lineCount> lines;
    if (!splitLines(signatureFile, lines) || !lines[untrustedLine].startsWith(untrustedPrefix)
        || !lines[trustedLine].startsWith(trustedPrefix))
        return {Verdict::Malformed, {}};
    const std::optional<QByteArray> signature = decodeExact(lines[signatureLine], signatureSize);
    const std::optional<QByteArray> globalSignature
            = decodeExact(lines[globalSignatureLine], crypto_sign_BYTES);
    if (!signature || !globalSignature)
        return {Verdict::Malformed, {}};

    const QByteArrayView algorithm = QByteArrayView(*signature).first(algorithmSize);
    const bool prehashed = algorithm == prehashedAlgorithm;
    if (!prehashed && algorithm != legacyAlgorithm)
        return {Verdict::UnknownAlgorithm, {}};
    const unsigned char *keyId = bytes(*signature) + algorithmSize;
    if (!std::equal(key.keyId.begin(), key.keyId.end(), keyId))
        return {Verdict::OtherKey, {}};
    if (sodium_init() < 0)
        return {Verdict::CryptoUnavailable, {}};

    const unsigned char *fileSignature = keyId + keyIdSize;
    std::array<unsigned char, prehashSize> hash {};
    if (prehashed)
        crypto_generichash(hash.data(), hash.size(), bytes(file), quint64(file.size()), nullptr, 0);
    const unsigned char *message = prehashed ? hash.data() : bytes(file);
    const quint64 messageSize = prehashed ? hash.size() : quint64(file.size());
    if (crypto_sign_verify_detached(fileSignature, message, messageSize, key.key.data()) != 0)
        return {Verdict::BadFileSignature, {}};

    // The global signature covers the file signature followed by the
    // trusted comment.
    const QByteArrayView comment = lines[trustedLine].sliced(trustedPrefix.size());
    const QByteArray signedText = QByteArrayView(fileSignature, crypto_sign_BYTES).toByteArray()
                                  + comment.toByteArray();
    if (crypto_sign_verify_detached(bytes(*globalSignature), bytes(signedText),
                                    quint64(signedText.size()), key.key.data())
        != 0)
        return {Verdict::BadCommentSignature, {}};
    return {Verdict::Valid, comment.toByteArray()};
}

} // namespace Minisign
