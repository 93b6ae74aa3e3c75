#include "DevCommands.h"
#include "ai/OllamaModelsJob.h"
#include "ai/OpenRouterModelsJob.h"

#include <QEventLoop>
#include <QTextStream>

// Lists OpenRouter's free models in the order a request tries them, or with --ollama the local models.
int devAIModels(const QStringList& args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const AIEndpoints endpoints = AIEndpoints::fromEnvironment();
    QEventLoop loop;
    int status = 1;
    const auto fail = [&](const AIError& error) { err << error.message << '\n'; };
    if (args == QStringList{QStringLiteral("--ollama")}) {
        OllamaModelsJob job(endpoints);
        QObject::connect(&job, &OllamaModelsJob::finished, &loop, [&](const OllamaModelsOutcome& outcome) {
            if (outcome.ok()) {
                for (const QString& name : outcome.value()) {
                    out << name << '\n';
                }
                status = 0;
            } else {
                fail(outcome.error());
            }
            loop.quit();
        });
        job.start();
        loop.exec();
        return status;
    }
    if (!args.isEmpty()) {
        err << "usage: trellick-dev ai-models [--ollama]\n";
        return 2;
    }
    OpenRouterModelsJob job(endpoints);
    QObject::connect(&job, &OpenRouterModelsJob::finished, &loop, [&](const FreeModelsOutcome& outcome) {
        if (outcome.ok()) {
            for (const OpenRouterClient::ModelInfo& model : outcome.value()) {
                out << model.id << (model.supportsJSON ? "  json" : "") << "  created " << model.created << '\n';
            }
            status = 0;
        } else {
            fail(outcome.error());
        }
        loop.quit();
    });
    job.start();
    loop.exec();
    return status;
}
