#include "NetworkErrors.h"

#include "net/NetError.h"

using namespace Qt::StringLiterals;

namespace NetworkErrors {

ToolError downloadError(const NetError& error)
{
    switch (error.kind) {
    case NetError::Kind::cancelled:
        return ToolError::cancellation();
    case NetError::Kind::status:
        return ToolError{u"The download server answered with status "_s + QString::number(error.status) + u'.'};
    case NetError::Kind::notSaved:
        return ToolError{u"Could not save the download: "_s + error.sentence()};
    default:
        return ToolError{error.sentence()};
    }
}

ToolError checksumError(const NetError& error)
{
    switch (error.kind) {
    case NetError::Kind::cancelled:
        return ToolError::cancellation();
    case NetError::Kind::unreachable:
    case NetError::Kind::timedOut:
        return ToolError{error.sentence()};
    default:
        return ToolError{u"Could not read the published checksum."_s};
    }
}

} // namespace NetworkErrors
