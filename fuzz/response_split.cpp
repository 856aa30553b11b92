// The response decoder must reach the same verdict and the same content
// however TCP splits the bytes: in one piece, byte by byte, and at the
// positions the fuzzer picks.
//
// Input: one byte n (the number of cuts, 0 to 15), one byte choosing the size
// limit (0 the downloader's own, else 16 times its value), 2n bytes of cut
// positions, then the response.

#include "FuzzCheck.h"
#include "ResponseRun.h"

#include <algorithm>

namespace {
constexpr size_t kPrefix = 2;
constexpr int kMaxCuts = 16;
constexpr qint64 kLimitStep = 16;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < kPrefix)
        return 0;
    const int cutCount = data[0] % kMaxCuts;
    const qint64 limit = data[1] == 0 ? Http::kResponseLimit : data[1] * kLimitStep;
    if (size < kPrefix + 2 * size_t(cutCount))
        return 0;
    const uint8_t *cutBytes = data + kPrefix;
    const QByteArray response(reinterpret_cast<const char *>(cutBytes + 2 * cutCount),
                              qsizetype(size - kPrefix - 2 * size_t(cutCount)));

    QList<qsizetype> cuts;
    for (int i = 0; i < cutCount; ++i)
        cuts.append(((cutBytes[2 * i] << 8) | cutBytes[2 * i + 1]) % (response.size() + 1));
    std::sort(cuts.begin(), cuts.end());

    const ResponseOutcome whole = decodeInPieces(response, {}, limit);
    const ResponseOutcome chosen = decodeInPieces(response, cuts, limit);
    const ResponseOutcome bytes = decodeInPieces(response, everyByte(response.size()), limit);
    FUZZ_CHECK(whole == chosen, "one piece: " + describe(whole) + "\nchosen cuts: "
                                        + describe(chosen) + "\n" + shown(response));
    FUZZ_CHECK(whole == bytes, "one piece: " + describe(whole) + "\nbyte by byte: "
                                       + describe(bytes) + "\n" + shown(response));
    return 0;
}
