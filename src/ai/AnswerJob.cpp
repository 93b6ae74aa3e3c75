#include "AnswerJob.h"

#include "AppleOnDevice.h"
#include "OllamaChatJob.h"
#include "OpenRouterCompleteJob.h"

AnswerJob::AnswerJob(QObject* parent)
    : QObject(parent)
{
}

AnswerJob* AnswerJob::create(const AIChannel& channel, const AIEndpoints& endpoints, const QString& system,
                             const QString& user, Accept accept, QObject* parent)
{
    switch (channel.kind) {
    case AIProviderKind::openRouter:
        return new OpenRouterCompleteJob(endpoints, channel.apiKey, system, user, std::move(accept), parent);
    case AIProviderKind::ollama:
        return new OllamaChatJob(endpoints, channel.ollamaModel, system, user, parent);
    case AIProviderKind::apple:
        return new AppleOnDevice(system, user, parent);
    }
    Q_UNREACHABLE();
}
