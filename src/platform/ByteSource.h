#pragma once

#include <QtGlobal>

// Where received bytes are taken from: the socket control, or a test's
// buffer. The taker says where each byte lands, so that a body can be
// received straight into its place without a copy.
class ByteSource
{
public:
    // Takes up to maxLen bytes into buffer and returns how many: fewer when
    // fewer are waiting, 0 when none are. Never waits.
    virtual qint64 read(char *buffer, qint64 maxLen) = 0;

protected:
    ~ByteSource() = default;
};
