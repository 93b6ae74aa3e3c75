#include "DevCommands.h"

using namespace Qt::StringLiterals;

const QList<DevCommand>& devCommands()
{
    static const QList<DevCommand> commands{
        {u"actions"_s, u"PATH...   the kind of the selection and the offered actions"_s, devActions},
        {u"probe"_s, u"PATH        the file's name, kind, size and probed facts"_s, devProbe},
        {u"sandbox"_s,
         u"[--off | --compare N] [--read PATH]... [--out DIR]... [-- PROGRAM ARGS...]   how tool runs are sandboxed here, or run one confined"_s,
         devSandbox},
        {u"plan-check"_s, u"--input FILE [--trusted]   checks a model reply from standard input; runs nothing"_s,
         devPlanCheck},
        {u"screenshots"_s, u"OUTDIR [--dark]   a PNG of every screen of the window, with sample files"_s,
         devScreenshots, true},
        {u"run-plan"_s,
         u"--input FILE [--trusted]   checks a model reply from standard input and runs its first option"_s,
         devRunPlan},
        {u"ai-models"_s,
         u"[--ollama]   the free OpenRouter models in the order a request tries them, or the local ones"_s,
         devAIModels},
        {u"do"_s,
         u"ACTION-ID [--format F] [--pages TEXT] [--names A,B] [--keep-copy] PATH...   performs a direct action and runs its plan"_s,
         devDo},
        {u"ask"_s,
         u"[--preview] ACTION-ID \"REQUEST\" PATH   sends a request for an AI action with the configured provider and prints the checked plan (--preview: what would be sent)"_s,
         devAsk},
    };
    return commands;
}

void printChecked(QTextStream& out, const RunOutcome& outcome)
{
    for (const CheckedOutput& output : outcome.checked) {
        out << "Output: " << output.path << '\n' << "Facts: " << output.facts << '\n';
        if (!output.warning.isEmpty()) {
            out << "Warning: " << output.warning << '\n';
        }
    }
    out.flush();
}
