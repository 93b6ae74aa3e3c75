#pragma once

#include "RawOption.h"

#include <QList>
#include <QString>
#include <optional>

// A model's answer to a plan request, decoded but not yet checked.
struct AIPlanResponse
{
    std::optional<QString> error; // the model's own reason when it declares the request impossible
    QList<RawOption> options;

    bool operator==(const AIPlanResponse&) const = default;
};
