#include "DevCommands.h"
#include "plans/PlanFactory.h"
#include "plans/PlanParser.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

void printOption(QTextStream& out, const ResolvedOption& option)
{
    out << option.label << '\n' << option.commandText() << '\n';
    for (const QString& output : option.finalOutputs()) {
        out << "Output: " << output << '\n';
    }
}

} // namespace

int devPlanCheck(const QStringList& args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const qsizetype at = args.indexOf(u"--input"_s);
    const bool trusted = args.contains(u"--trusted"_s);
    if (at < 0 || at + 1 >= args.size() || args.size() != (trusted ? 3 : 2)) {
        err << "usage: trellick-dev plan-check --input FILE [--trusted] < reply\n";
        return 2;
    }
    const QString input = QFileInfo(args[at + 1]).absoluteFilePath();
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) {
        err << "Could not read standard input.\n";
        return 2;
    }
    const PlanResult<AIPlanResponse> parsed = PlanParser::parse(QString::fromUtf8(in.readAll()));
    if (!parsed.ok()) {
        out << parsed.error().message << '\n';
        return 1;
    }
    QList<ResolvedOption> options;
    if (trusted) {
        if (parsed.value().options.isEmpty()) {
            out << "The answer had no usable steps.\n";
            return 1;
        }
        PlanFactory factory;
        const PlanResult<ResolvedOption> result = factory.resolve(parsed.value().options.first(), input, true);
        if (!result.ok()) {
            out << result.error().message << '\n';
            return 1;
        }
        options << result.value();
    } else {
        const PlanResult<QList<ResolvedOption>> result = PlanParser::resolve(parsed.value().options, input);
        if (!result.ok()) {
            out << result.error().message << '\n';
            return 1;
        }
        options = result.value();
    }
    for (qsizetype i = 0; i < options.size(); ++i) {
        if (i > 0) {
            out << '\n';
        }
        printOption(out, options[i]);
    }
    return 0;
}
