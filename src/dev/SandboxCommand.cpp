#include "DevCommands.h"
#include "exec/RunFolders.h"
#include "platform/Sandbox.h"
#include "platform/SandboxSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString layerNames(SandboxLayers layers)
{
    const QList<std::pair<SandboxLayer, QString>> names{
        {SandboxLayer::resourceLimits, u"resource limits"_s},  {SandboxLayer::noNewPrivileges, u"no new privileges"_s},
        {SandboxLayer::systemCallFilter, u"seccomp filter"_s}, {SandboxLayer::networkNamespace, u"own network"_s},
        {SandboxLayer::fileAccess, u"Landlock files"_s},       {SandboxLayer::tcpAccess, u"Landlock TCP"_s},
        {SandboxLayer::scopes, u"Landlock scopes"_s},
    };
    QStringList applied;
    for (const auto& [layer, name] : names) {
        if (layers.testFlag(layer)) {
            applied << name;
        }
    }
    return applied.join(u", "_s);
}

// Runs the command once, confined by `policy` or not, and returns its exit status (127: did not start).
int runOnce(const QStringList& command, const SandboxPolicy* policy, const QString& cwd = {})
{
    QProcess process;
    process.setWorkingDirectory(cwd);
    process.setProgram(command.first());
    process.setArguments(command.mid(1));
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    if (policy != nullptr) {
        Sandbox(*policy).applyTo(process);
    }
    process.start();
    if (!process.waitForFinished(-1)) {
        QTextStream(stderr) << process.errorString() << '\n';
        return 127;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : 128 + process.exitCode();
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

// Runs the command confined and unconfined by turns, so that the load of a shared machine falls on both
// alike, and prints the medians and the median of the paired differences.
int compare(const QStringList& command, const SandboxPolicy& policy, int rounds)
{
    QList<double> confined, unconfined, differences;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        double times[2] = {0, 0};
        for (int turn = 0; turn < 2; ++turn) {
            const bool confine = (turn + round) % 2 == 0;
            timer.start();
            if (runOnce(command, confine ? &policy : nullptr) != 0) {
                return 1;
            }
            times[confine ? 0 : 1] = double(timer.nsecsElapsed()) / 1e6;
        }
        confined << times[0];
        unconfined << times[1];
        differences << times[0] - times[1];
    }
    QTextStream(stdout) << u"%1 rounds: confined %2 ms, unconfined %3 ms, overhead per step %4 ms (medians)\n"_s
                               .arg(rounds)
                               .arg(median(confined), 0, 'f', 2)
                               .arg(median(unconfined), 0, 'f', 2)
                               .arg(median(differences), 0, 'f', 2);
    return 0;
}

} // namespace

// Without a program: what this computer offers. With one: runs it as a confined step would run, with
// --read for its inputs and --out for its output folders: it starts in a private staging folder made in
// the first of them (which alone it may write), and what it leaves there is moved into that folder when
// it succeeds, never replacing a file. --off runs it unconfined, --compare N both ways by turns and prints
// what confinement costs.
int devSandbox(const QStringList& args)
{
    const qsizetype separator = args.indexOf(u"--"_s);
    const QStringList options = args.mid(0, separator < 0 ? args.size() : separator);
    const QStringList command = separator < 0 ? QStringList() : args.mid(separator + 1);
    SandboxPolicy policy;
    QStringList outputFolders;
    bool confined = true;
    int rounds = 0;
    for (qsizetype i = 0; i < options.size(); ++i) {
        const QString& option = options[i];
        const bool hasValue = i + 1 < options.size();
        if (option == u"--off") {
            confined = false;
        } else if (option == u"--compare" && hasValue && options[i + 1].toInt() > 0) {
            rounds = options[++i].toInt();
        } else if ((option == u"--read" || option == u"--out") && hasValue) {
            (option == u"--read" ? policy.readPaths : outputFolders) << QFileInfo(options[++i]).absoluteFilePath();
        } else {
            QTextStream(stderr) << "usage: trellick-dev sandbox [--off | --compare N] [--read PATH]... [--out DIR]... "
                                   "[-- PROGRAM ARGS...]\n";
            return 2;
        }
    }
    // Detected first in every mode, so that comparing them measures what each step costs, not the
    // one-time probe of the kernel.
    const SandboxSupport support = SandboxSupport::current();
    if (command.isEmpty()) {
        QTextStream(stdout) << support.sentence() << '\n' << "Layers: " << layerNames(support.layers()) << '\n';
        return 0;
    }
    QTemporaryDir scratch;
    policy.program = command.first();
    policy.scratchDir = scratch.path();
    policy.ownFolders = {scratch.path()};
    RunFolders folders({}, QDir::tempPath());
    QList<std::pair<QString, QString>> stagings; // output folder, its staging folder
    for (const QString& folder : std::as_const(outputFolders)) {
        const Result<QString, PlanError> staging = folders.stagingIn(folder);
        if (!staging.ok()) {
            QTextStream(stderr) << folder << ": " << staging.error().message << '\n';
            folders.removeAll();
            return 1;
        }
        stagings << std::pair{folder, staging.value()};
        policy.ownFolders << staging.value();
    }
    const QString cwd = stagings.isEmpty() ? QString() : stagings.first().second;
    const int status
        = rounds > 0 ? compare(command, policy, rounds) : runOnce(command, confined ? &policy : nullptr, cwd);
    for (const auto& [folder, staging] : std::as_const(stagings)) {
        const QStringList made = QDir(staging).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QString& name : made) {
            if (status != 0) {
                break;
            }
            const Result<QString, PlanError> published
                = RunFolders::publish(staging + u'/' + name, folder + u'/' + name);
            QTextStream(stdout) << (published.ok() ? published.value() : name + u": "_s + published.error().message)
                                << '\n';
        }
    }
    folders.removeAll();
    return status;
}
