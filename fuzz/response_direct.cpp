// Receiving from a source (body bytes read straight into the body, as the
// downloader takes them from the socket) must reach the same verdict and
// content as plain feeding, however the bytes are split and however short
// the source's reads are.
//
// Input: one byte n (the number of cuts, 0 to 15), one byte choosing the size
// limit (0 the downloader's own, else 16 times its value), one byte for the
// most a read gives (1 to 256), 2n bytes of cut positions, then the
// response.

#include "FuzzCheck.h"
#include "ResponseRun.h"

#include <algorithm>

namespace {
constexpr size_t kPrefix = 3;
constexpr int kMaxCuts = 16;
constexpr qint64 kLimitStep = 16;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < kPrefix)
        return 0;
    const int cutCount = data[0] % kMaxCuts;
    const qint64 limit = data[1] == 0 ? Http::kResponseLimit : data[1] * kLimitStep;
    const qsizetype readSize = qsizetype(data[2]) + 1;
    if (size < kPrefix + 2 * size_t(cutCount))
        return 0;
    const uint8_t *cutBytes = data + kPrefix;
    const QByteArray response(reinterpret_cast<const char *>(cutBytes + 2 * cutCount),
                              qsizetype(size - kPrefix - 2 * size_t(cutCount)));

    QList<qsizetype> cuts;
    for (int i = 0; i < cutCount; ++i)
        cuts.append(((cutBytes[2 * i] << 8) | cutBytes[2 * i + 1]) % (response.size() + 1));
    std::sort(cuts.begin(), cuts.end());

    const ResponseOutcome fed = decodeInPieces(response, {}, limit);
    const ResponseOutcome direct = decodeInPieces(response, cuts, limit, readSize);
    FUZZ_CHECK(fed == direct, "fed whole: " + describe(fed) + "\nin place: " + describe(direct)
                                      + "\n" + shown(response));
    return 0;
}
