#pragma once

#include "AnswerJob.h"

#include <QTimer>

// The operating system's own language model. Linux has none, so the provider is never available and every
// request fails with the same sentence as on a system too old for it.
class AppleOnDevice : public AnswerJob
{
    Q_OBJECT

public:
    // The name that labels its answers.
    static QString modelLabel();
    // Whether the system offers an on-device model that is ready; the settings show the provider as unavailable.
    static bool isAvailable();
    // Whether the operating system is new enough to have one at all.
    static bool isSupportedSystem();

    // Takes the system text as the model's instructions and the user text as its prompt.
    AppleOnDevice(const QString& system, const QString& user, QObject* parent = nullptr);

    void start() override;
    void cancel() override;

private:
    enum class Step { idle, asking, done };

    void finish(const AnswerOutcome& outcome);

    QTimer m_report;
    Step m_step = Step::idle;
};
