#pragma once

#include <QString>

// A model's answer text and the name of the model that gave it.
struct AIAnswer
{
    QString text;
    QString model;

    bool operator==(const AIAnswer&) const = default;
};
