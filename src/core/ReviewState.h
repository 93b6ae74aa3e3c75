#pragma once

#include "plans/ResolvedOption.h"

#include <QMetaType>
#include <optional>

// The plan under review (and then running): its checked options and where it came from.
struct ReviewState
{
    QList<ResolvedOption> options; // never empty when set by the application's operations
    int selected = 0;
    QString request; // the request as sent, the option's label, or the history entry's request
    QString title;
    std::optional<QString> model; // the model that answered, AI plans only
    bool retried = false; // the first AI answer was rejected and this one came from the second try
    bool isAI = false;
    int fixes = 0; // how many times a failed run of this request was sent back to be fixed
    std::optional<QString> fixedAfter; // the failure this plan was asked to fix

    bool operator==(const ReviewState&) const = default;
};

Q_DECLARE_METATYPE(ReviewState)
