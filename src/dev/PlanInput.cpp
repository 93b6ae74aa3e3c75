#include "PlanInput.h"

#include "plans/PlanFactory.h"
#include "plans/PlanParser.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

using namespace Qt::StringLiterals;

std::optional<PlanInput> readPlanInput(const QStringList& args, const QString& command, int& status)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const qsizetype at = args.indexOf(u"--input"_s);
    const bool trusted = args.contains(u"--trusted"_s);
    if (at < 0 || at + 1 >= args.size() || args.size() != (trusted ? 3 : 2)) {
        err << "usage: trellick-dev " << command << " --input FILE [--trusted] < reply\n";
        status = 2;
        return std::nullopt;
    }
    PlanInput plan{QFileInfo(args[at + 1]).absoluteFilePath(), {}};
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) {
        err << "Could not read standard input.\n";
        status = 2;
        return std::nullopt;
    }
    status = 1;
    const Result<AIPlanResponse, PlanError> parsed = PlanParser::parse(QString::fromUtf8(in.readAll()));
    if (!parsed.ok()) {
        out << parsed.error().message << '\n';
        return std::nullopt;
    }
    if (trusted) {
        if (parsed.value().options.isEmpty()) {
            out << "The answer had no usable steps.\n";
            return std::nullopt;
        }
        PlanFactory factory;
        const Result<ResolvedOption, PlanError> result
            = factory.resolve(parsed.value().options.first(), plan.input, true);
        if (!result.ok()) {
            out << result.error().message << '\n';
            return std::nullopt;
        }
        plan.options << result.value();
    } else {
        const Result<QList<ResolvedOption>, PlanError> result = PlanParser::resolve(parsed.value().options, plan.input);
        if (!result.ok()) {
            out << result.error().message << '\n';
            return std::nullopt;
        }
        plan.options = result.value();
    }
    status = 0;
    return plan;
}
