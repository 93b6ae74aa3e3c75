// libFuzzer target over the plan answer parser and the checker. Besides crashes and sanitizer reports,
// it aborts when a resolved step holds an argument that is neither a substituted path nor one the
// generic rules accept, or writes anywhere but the input's folder, the fallback folder or its scratch
// folder.
#include "base/AppPaths.h"
#include "plans/PlanFactory.h"
#include "plans/PlanParser.h"
#include "plans/SystemTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

QString g_input;

[[noreturn]] void broken(const char* what, const QString& detail)
{
    std::fprintf(stderr, "invariant broken: %s: %s\n", what, qPrintable(detail));
    std::abort();
}

void checkOption(const ResolvedOption& option)
{
    const QString inputFolder = QFileInfo(g_input).absolutePath();
    const QString inputName = QFileInfo(g_input).fileName();
    const QString fallback = AppPaths::fallbackOutputDir();
    if (option.steps.isEmpty() || option.steps.size() > 6 || !option.tempDir) {
        broken("shape", option.label);
    }
    QString prev;
    for (const ResolvedStep& step : option.steps) {
        const QString folder = QFileInfo(step.outputPath).absolutePath();
        const bool allowed = step.isFinal ? (folder == inputFolder || folder == fallback) : folder == *option.tempDir;
        if (!allowed || step.outputPath.contains(u"/../"_s) || QFileInfo(step.outputPath).fileName().startsWith(u'.')) {
            broken("output outside its folder", step.outputPath);
        }
        for (const QString& arg : step.args) {
            const bool substituted = arg == g_input || arg == inputName || arg == u"./"_s + inputName
                || arg == step.outputPath || (!prev.isEmpty() && arg == prev);
            if (!substituted && !PlanFactory::checkGeneric(arg, 1).ok()) {
                broken("argument the generic rules refuse", arg);
            }
        }
        if (step.args.count(step.outputPath) != 1) {
            broken("output count", step.displayCommand);
        }
        prev = step.outputPath;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Everything the checker looks at lives in one private folder.
    static QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.filePath(u"data"_s).toUtf8());
    qputenv("HOME", dir.path().toUtf8());
    const QString tools = dir.filePath(u"tools"_s);
    QDir().mkpath(tools);
    for (const QString& tool : {u"sips"_s, u"afconvert"_s, u"ditto"_s}) {
        QFile file(tools + u"/"_s + tool);
        if (!file.open(QIODevice::WriteOnly) || !file.setPermissions(QFile::ReadOwner | QFile::ExeOwner)) {
            std::abort();
        }
    }
    SystemTools::setStandInDir(tools);
    g_input = dir.filePath(u"clip.mp4"_s);
    QFile input(g_input);
    if (!input.open(QIODevice::WriteOnly)) {
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const Result<AIPlanResponse, PlanError> parsed = PlanParser::parse(text);
    if (!parsed.ok()) {
        if (parsed.error().message != u"The answer was not JSON."_s
            && parsed.error().message != u"The answer was JSON but not in the expected shape."_s) {
            broken("parse message", parsed.error().message);
        }
        return 0;
    }
    const Result<QList<ResolvedOption>, PlanError> resolved = PlanParser::resolve(parsed.value().options, g_input);
    if (resolved.ok()) {
        for (const ResolvedOption& option : resolved.value()) {
            checkOption(option);
        }
    } else if (!resolved.error().message.endsWith(u'.')) {
        broken("refusal is not a sentence", resolved.error().message);
    }
    // The application's own plans take the trusted path: the generic rules hold there too.
    for (const RawOption& raw : parsed.value().options) {
        PlanFactory factory;
        const Result<ResolvedOption, PlanError> trusted = factory.resolve(raw, g_input, true);
        if (trusted.ok()) {
            checkOption(trusted.value());
        }
    }
    return 0;
}
