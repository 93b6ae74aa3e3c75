#pragma once

#include <QString>

// A refusal of a plan or of an answer, or the failure of a step done inside the application: the one
// sentence the user (and, on a retry, the model) is shown.
struct PlanError
{
    QString message;

    bool operator==(const PlanError&) const = default;
};
