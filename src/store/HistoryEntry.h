#pragma once

#include "plans/RawOption.h"

#include <QDateTime>
#include <QJsonObject>
#include <QMetaType>
#include <QUuid>
#include <optional>

// One finished run as the history remembers it.
struct HistoryEntry
{
    QUuid id;
    QDateTime date; // when the run ended; stored in UTC with whole seconds
    QString fileName; // the single input's name, or "3 files"
    QString inputPath; // the first input's full path, or empty; re-running reopens it
    QString request;
    QString command;
    QString result; // "Done: ...", "Failed: ..." or "Cancelled"
    std::optional<RawOption> option; // the AI's plan, kept only for AI runs so that they can be run again

    // The stored form: eight keys, "option" left out when absent.
    QJsonObject toJson() const;
    // Strict: a missing or mistyped required key, an id that is not a UUID or a date that is not
    // "yyyy-MM-ddTHH:mm:ss" with a zone (no fractional seconds) gives nothing.
    static std::optional<HistoryEntry> fromJson(const QJsonValue& value);

    bool operator==(const HistoryEntry&) const = default;
};

Q_DECLARE_METATYPE(HistoryEntry)
