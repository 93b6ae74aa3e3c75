#include "SandboxPolicy.h"

#include <algorithm>
#include <limits>

namespace {
constexpr qint64 growth = 20;
}

qint64 SandboxPolicy::fileSizeLimitFor(qint64 inputBytes)
{
    if (inputBytes > std::numeric_limits<qint64>::max() / growth) {
        return std::numeric_limits<qint64>::max();
    }
    return std::max(fileSizeFloor, inputBytes * growth);
}
