#pragma once

#include "AIChannel.h"
#include "AIEndpoints.h"
#include "AIError.h"
#include "AnswerJob.h"
#include "base/Result.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

using NamesOutcome = Result<QStringList, AIError>;

// Asks the channel's provider for one new name per file, for the rename dialog. There is no retry; the
// names come back exactly as the model wrote them.
class NameSuggestJob : public QObject
{
    Q_OBJECT

public:
    NameSuggestJob(const AIChannel& channel, const AIEndpoints& endpoints, const QString& request,
                   const QStringList& files, QObject* parent = nullptr);

    void start();
    void cancel();

signals:
    void finished(const NamesOutcome& outcome);

private:
    enum class Step { idle, asking, done };

    bool fits(const QString& text) const;
    void onAnswer(const AnswerOutcome& outcome);
    void finish(const NamesOutcome& outcome);

    AIChannel m_channel;
    AIEndpoints m_endpoints;
    QString m_request;
    QStringList m_files;
    Step m_step = Step::idle;
    QPointer<AnswerJob> m_answer;
};
