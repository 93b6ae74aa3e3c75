#pragma once

#include <QMetaType>
#include <QString>
#include <QUuid>

// One labelled line of the file card; the id is fresh for every line so that list views can tell them apart.
struct FactLine
{
    QUuid id;
    QString label;
    QString value;

    bool operator==(const FactLine&) const = default;
};

Q_DECLARE_METATYPE(FactLine)
