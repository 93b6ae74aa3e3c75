#pragma once

#include "AIAnswer.h"
#include "AIChannel.h"
#include "AIEndpoints.h"
#include "AIError.h"
#include "base/Result.h"

#include <QObject>
#include <functional>

using AnswerOutcome = Result<AIAnswer, AIError>;

// Gets one answer text from one provider. start() once; cancel() aborts what is in flight and finishes
// with a cancellation; `finished` is emitted exactly once, never from inside start().
class AnswerJob : public QObject
{
    Q_OBJECT

public:
    // Decides whether an answer text is usable; OpenRouter tries the next model when it is not.
    using Accept = std::function<bool(const QString&)>;

    // The job for the channel's provider. Only OpenRouter applies `accept` itself (to choose among its
    // models); the other providers give their one answer as it is.
    static AnswerJob* create(const AIChannel& channel, const AIEndpoints& endpoints, const QString& system,
                             const QString& user, Accept accept, QObject* parent);

    virtual void start() = 0;
    virtual void cancel() = 0;

signals:
    void finished(const AnswerOutcome& outcome);

protected:
    explicit AnswerJob(QObject* parent);
};
