// "Valid" only for the embedded file, key and signatures' last three lines
// (untrusted comment and line ends free), all made once by minisign. The
// first byte picks: edits (flip, insert, delete) of the three, or raw bytes.

#include "base/Minisign.h"

#include "FuzzCheck.h"

#include <QList>

#include <fuzzer/FuzzedDataProvider.h>

namespace {

const QByteArray kPublicKey("RWTa15z3p6V+L0WOYdewL65r+k3XtvtNK6VCIGfPiteJGHZZEXAPfz2y");
const QByteArray kFile("Verbodrom 1.2.3\n");
const QByteArray
        kPrehashed("untrusted comment: signature from minisign secret key\n"
                   "RUTa15z3p6V+"
                   "L66Sb2gdidHktW3Th5w4rV06v2RBNq7FUl6dDJvzFScASNbofWg4A4kXIpdXw8FwGKoksDBTSBE4P4+"
                   "Vq2d84QI=\n"
                   "trusted comment: Verbodrom 1.2.3\n"
                   "0H9jODTOZUij3EsmKIE74B2lGMoxVy7ZG9txRMKIaszjZqfn8TWWxFXQeb99VanR2Dmc+"
                   "Fw84xZoWOdxRBBhDA==\n");
const QByteArray kLegacy(
        "untrusted comment: signature from minisign secret key\n"
        "RWTa15z3p6V+L5W51ku69nVAZVWEn1rytcvR+LfoVbBhSvOz+KIe38aSXCLngkzdzOJiw+"
        "C7s9xSUlP0MXvflxkTTff"
        "b0DeeSgc=\n"
        "trusted comment: Verbodrom 1.2.3 legacy\n"
        "fdYYmXt/"
        "C6meLAVdooSoRd8OmsgdrvG3Zcp+rJyJtEYojUFOF7duZQvi2hajvi9XIkDop9QXi38S7s6JReMQCg==\n");

const QByteArray kTrustedPrefix("trusted comment: ");
constexpr int kMaxEdits = 4;
constexpr size_t kMaxRaw = 4096;

// The signed lines: after the untrusted comment, without "\r\n", "\n" or a final "\r".
QList<QByteArray> signedLines(const QByteArray &signatureFile)
{
    QList<QByteArray> lines = signatureFile.split('\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines.mid(1);
}

// The embedded key; the embedded signatures must verify, or the oracle is void.
const Minisign::PublicKey &embeddedKey()
{
    static const Minisign::PublicKey key = [] {
        const std::optional<Minisign::PublicKey> parsed = Minisign::parsePublicKey(kPublicKey);
        for (const QByteArray &signature : {kPrehashed, kLegacy})
            FUZZ_CHECK(parsed
                               && Minisign::verify(kFile, signature, *parsed).verdict
                                          == Minisign::Verdict::Valid,
                       "an embedded signature does not verify");
        return *parsed;
    }();
    return key;
}

bool sameKey(const Minisign::PublicKey &a, const Minisign::PublicKey &b)
{
    return a.keyId == b.keyId && a.key == b.key;
}

void checkVerdict(const QByteArray &keyLine, const QByteArray &file, const QByteArray &signature)
{
    const std::optional<Minisign::PublicKey> key = Minisign::parsePublicKey(keyLine);
    if (key) {
        // A key line reads only as the bytes it encodes: another line, another key.
        FUZZ_CHECK(sameKey(*key, embeddedKey()) == (keyLine.trimmed() == kPublicKey),
                   shown(keyLine) + " reads as the embedded key, or the reverse");
    }
    const Minisign::PublicKey &used = key ? *key : embeddedKey();
    const Minisign::Result result = Minisign::verify(file, signature, used);
    if (result.verdict != Minisign::Verdict::Valid) {
        FUZZ_CHECK(result.trustedComment.isEmpty(), "a comment without a good signature");
        return;
    }
    const QList<QByteArray> lines = signedLines(signature);
    const bool embedded = lines == signedLines(kPrehashed) || lines == signedLines(kLegacy);
    FUZZ_CHECK(file == kFile && sameKey(used, embeddedKey()) && embedded,
               "verified:\nfile " + shown(file) + "\nsignature " + shown(signature) + "\nkey "
                       + shown(keyLine));
    FUZZ_CHECK(lines.size() == 3 && result.trustedComment == lines.at(1).mid(kTrustedPrefix.size()),
               "trusted comment " + shown(result.trustedComment));
}

// Flips, inserts or deletes a byte at a few fuzzer positions.
QByteArray edited(FuzzedDataProvider &fdp, QByteArray bytes)
{
    for (int n = fdp.ConsumeIntegralInRange(0, kMaxEdits); n > 0; --n) {
        const qsizetype at = fdp.ConsumeIntegralInRange<qsizetype>(0, bytes.size());
        const char value = char(fdp.ConsumeIntegral<uint8_t>());
        switch (fdp.ConsumeIntegralInRange(0, 2)) {
        case 0:
            if (at < bytes.size())
                bytes[at] = char(bytes.at(at) ^ (value ? value : 1));
            break;
        case 1:
            bytes.insert(at, value);
            break;
        default:
            if (at < bytes.size())
                bytes.remove(at, 1);
            break;
        }
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    embeddedKey();
    FuzzedDataProvider fdp(data, size);
    if (fdp.ConsumeBool()) {
        const QByteArray file = edited(fdp, kFile);
        const QByteArray signature = edited(fdp, fdp.ConsumeBool() ? kPrehashed : kLegacy);
        const QByteArray keyLine = edited(fdp, kPublicKey);
        checkVerdict(keyLine, file, signature);
    } else {
        const QByteArray keyLine
                = QByteArray::fromStdString(fdp.ConsumeRandomLengthString(kMaxRaw));
        const QByteArray file = QByteArray::fromStdString(fdp.ConsumeRandomLengthString(kMaxRaw));
        checkVerdict(keyLine, file, QByteArray::fromStdString(fdp.ConsumeRemainingBytesAsString()));
    }
    return 0;
}
