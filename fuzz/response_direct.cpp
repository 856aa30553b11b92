// Receiving from a source (the body read straight into place) reaches the same
// verdict and content as plain feeding, for any split and read size. Input:
// readSplitInput with one extra byte, the most a read gives (1 to 256).

#include "FuzzCheck.h"
#include "ResponseRun.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SplitInput in;
    if (!readSplitInput(data, size, 1, in))
        return 0;
    const qsizetype readSize = qsizetype(in.extra[0]) + 1;
    const ResponseOutcome fed = decodeInPieces(in.response, {}, in.limit);
    const ResponseOutcome direct = decodeInPieces(in.response, in.cuts, in.limit, readSize);
    FUZZ_CHECK(fed == direct, "fed whole: " + describe(fed) + "\nin place: " + describe(direct)
                                      + "\n" + shown(in.response));
    return 0;
}
