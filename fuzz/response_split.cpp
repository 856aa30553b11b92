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
    const ResponseOutcome chosen = decodeInPieces(in.response, in.cuts, in.limit);
    const ResponseOutcome bytes
            = decodeInPieces(in.response, everyByte(in.response.size()), in.limit);
    FUZZ_CHECK(whole == chosen, "one piece: " + describe(whole) + "\nchosen cuts: "
                                        + describe(chosen) + "\n" + shown(in.response));
    FUZZ_CHECK(whole == bytes, "one piece: " + describe(whole) + "\nbyte by byte: "
                                       + describe(bytes) + "\n" + shown(in.response));
    return 0;
}
