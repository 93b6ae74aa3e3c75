#pragma once

#include "AIChannel.h"
#include "AIError.h"
#include "plans/ResolvedOption.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// The one way the rest of the program asks an AI for something: a checked plan (PlanAskJob) or new file
// names (NameSuggestJob). These are the texts and checks the two jobs share.
namespace PlanService {

// A plan answer: checked options, or the AI's reason for proposing none.
struct Result
{
    QList<ResolvedOption> options;
    std::optional<QString> model; // the model that gave the answer used
    std::optional<QString> explanation; // only when there are no options
    bool retried = false; // the answer used came from the second try

    bool operator==(const Result&) const = default;
};

// A plan answer is usable when it parses and holds at least one option or the AI's own error text.
bool isUsablePlan(const QString& text);
// The first user message again, with the reason the previous answer was rejected, word for word.
QString retryMessage(const QString& user, const QString& reason);
// The {"names": [...]} answer: absent unless every element is a string; names are kept exactly as written.
std::optional<QStringList> parseNames(const QString& text);
// The failure when an Ollama or on-device answer is not in the expected format.
AIError notUsable(const AIChannel& channel);

} // namespace PlanService
