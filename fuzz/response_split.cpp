// The decoder reaches the same verdict and content whole, byte by byte and at
// the fuzzer's cuts. Input: readSplitInput (no extra bytes).

#include "FuzzCheck.h"
#include "ResponseRun.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SplitInput in;
    if (!readSplitInput(data, size, 0, in))
        return 0;
    const ResponseOutcome whole = decodeInPieces(in.response, {}, in.limit);
    for (const QList<qsizetype> &cuts : {in.cuts, everyByte(in.response.size())}) {
        const ResponseOutcome split = decodeInPieces(in.response, cuts, in.limit);
        FUZZ_CHECK(whole == split,
                   "one piece: " + describe(whole) + "\nin " + QByteArray::number(cuts.size() + 1)
                           + " pieces: " + describe(split) + "\n" + shown(in.response));
    }
    return 0;
}
