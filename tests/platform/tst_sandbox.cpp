#include "TableCheck.h"
#include "TestMain.h"
#include "platform/Sandbox.h"
#include "platform/SandboxSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(SandboxSupport)

namespace {

// What a kernel offers, by name: this machine's, and the weaker ones the sandbox must cope with.
const QMap<QString, SandboxSupport> kernels{
    {u"this kernel"_s, {99, true, true}},
    {u"no Landlock"_s, {0, true, true}},
    {u"no Landlock, no user namespaces"_s, {0, true, false}},
    {u"Landlock 3, no user namespaces"_s, {3, true, false}},
};

struct Attempts
{
    QMap<QString, QString> outcomes; // attempt -> "allowed" or "refused: why"
    QStringList environment;
    QString errors;
};

} // namespace

class TestSandbox : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_input, m_secret, m_outputs, m_scratch, m_library;
    QTcpServer m_tcp;
    QUdpSocket m_udp;
    QLocalServer m_local;
    QProcess m_bystander; // a process outside the sandbox, to trace and signal
    QMap<QString, Attempts> m_runs;

    QString path(const QString& name) const { return m_root.filePath(name); }

    SandboxPolicy policy() const
    {
        SandboxPolicy policy;
        policy.program = QStringLiteral(INTRUDER_PATH);
        policy.readPaths = {m_input};
        policy.scratchDir = m_scratch;
        policy.ownFolders = {m_outputs, m_scratch};
        policy.fileSizeLimit = 1 << 20;
        return policy;
    }

    QStringList intruderArguments(const QString& output) const
    {
        return {u"input="_s + m_input,
                u"output="_s + output,
                u"secret="_s + m_secret,
                u"home="_s + QDir::homePath(),
                u"tcp="_s + QString::number(m_tcp.serverPort()),
                u"udp="_s + QString::number(m_udp.localPort()),
                u"local-socket="_s + m_local.fullServerName(),
                u"library="_s + m_library,
                u"scratch="_s + m_scratch,
                u"file-size="_s + QString::number(2 << 20),
                u"memory=6"_s,
                u"ptrace="_s + QString::number(m_bystander.processId()),
                u"signal="_s + QString::number(m_bystander.processId())};
    }

    // Runs the intruder, confined by `sandbox` unless it is null, and collects its report.
    Attempts runIntruder(const Sandbox* sandbox, const QString& output)
    {
        QFile::remove(QDir::homePath() + u"/planted.txt"_s);
        QProcess process;
        process.setProgram(QStringLiteral(INTRUDER_PATH));
        process.setArguments(intruderArguments(output));
        if (sandbox != nullptr) {
            sandbox->applyTo(process);
        }
        process.start();
        if (!process.waitForFinished(60000)) {
            qWarning("the intruder did not finish");
        }
        Attempts attempts;
        const QString report = QString::fromUtf8(process.readAllStandardOutput());
        for (const QString& line : report.split(u'\n', Qt::SkipEmptyParts)) {
            const qsizetype space = line.indexOf(u' ');
            if (line.startsWith(u"environment ")) {
                attempts.environment = line.mid(space + 1).split(u' ', Qt::SkipEmptyParts);
            } else {
                attempts.outcomes.insert(line.left(space), line.mid(space + 1));
            }
        }
        attempts.errors = QString::fromUtf8(process.readAllStandardError());
        return attempts;
    }

    const Attempts& confinedRun(const QString& kernel)
    {
        if (!m_runs.contains(kernel)) {
            SandboxSupport::setForTesting(kernels.value(kernel));
            const Sandbox sandbox(policy());
            SandboxSupport::setForTesting(std::nullopt);
            m_runs.insert(kernel, runIntruder(&sandbox, m_outputs + u"/result "_s + kernel + u".txt"_s));
        }
        return m_runs[kernel];
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QVERIFY(QDir().mkpath(path(u"in"_s)) && QDir().mkpath(path(u"out"_s)) && QDir().mkpath(path(u"scratch"_s)));
        m_input = path(u"in/holiday.txt"_s);
        m_secret = path(u"in/passwords.txt"_s); // beside the input: the input rule is the file alone
        m_outputs = path(u"out"_s);
        m_scratch = path(u"scratch"_s);
        QFile input(m_input), secret(m_secret);
        QVERIFY(input.open(QIODevice::WriteOnly) && input.write("the input\n") > 0);
        QVERIFY(secret.open(QIODevice::WriteOnly) && secret.write("hunter2\n") > 0);
        input.close();
        secret.close();
        m_library = QDir::homePath() + u"/libplugin.so"_s;
        QFile::remove(m_library);
        QVERIFY(QFile::copy(QStringLiteral(PAYLOAD_PATH), m_library));
        QVERIFY(m_tcp.listen(QHostAddress::LocalHost));
        QVERIFY(m_udp.bind(QHostAddress::LocalHost));
        QVERIFY(m_local.listen(path(u"bus"_s)));
        m_bystander.start(u"sleep"_s, {u"120"_s});
        QVERIFY(m_bystander.waitForStarted());
    }

    void cleanupTestCase()
    {
        m_bystander.kill();
        m_bystander.waitForFinished();
        QFile::remove(m_library);
        QFile::remove(QDir::homePath() + u"/planted.txt"_s);
    }

    void unconfinedIntruderSucceedsEverywhere()
    {
        // Proves that each attempt can succeed on this machine, so a refusal below is the sandbox's doing.
        const Attempts attempts = runIntruder(nullptr, m_outputs + u"/unconfined.txt"_s);
        QCOMPARE(attempts.outcomes.size(), 12);
        for (auto it = attempts.outcomes.cbegin(); it != attempts.outcomes.cend(); ++it) {
            QFile yama(u"/proc/sys/kernel/yama/ptrace_scope"_s);
            if (it.key() == u"ptrace" && yama.open(QIODevice::ReadOnly) && yama.readAll().trimmed() != "0") {
                continue; // Yama already keeps processes from tracing their siblings
            }
            QVERIFY2(it.value() == u"allowed", qPrintable(it.key() + u' ' + it.value()));
        }
    }

    void confinedIntruderIsStopped_data()
    {
        QTest::addColumn<QString>("kernel");
        QTest::addColumn<QString>("attempt");
        QTest::addColumn<int>("stoppedBy"); // the layers any one of which refuses the attempt; 0: allowed
        const QList<std::pair<QString, SandboxLayers>> attempts{
            {u"read-secret"_s, SandboxLayer::fileAccess},
            {u"write-home"_s, SandboxLayer::fileAccess},
            {u"library"_s, SandboxLayer::fileAccess},
            {u"tcp"_s, SandboxLayer::systemCallFilter | SandboxLayer::networkNamespace | SandboxLayer::tcpAccess},
            {u"udp"_s, SandboxLayer::systemCallFilter | SandboxLayer::networkNamespace},
            {u"local-socket"_s, SandboxLayer::systemCallFilter},
            {u"file-size"_s, SandboxLayer::resourceLimits},
            {u"memory"_s, SandboxLayer::resourceLimits},
            {u"ptrace"_s, SandboxLayer::systemCallFilter | SandboxLayer::fileAccess},
            {u"signal"_s, SandboxLayer::scopes},
            {u"read-input"_s, {}},
            {u"write-output"_s, {}},
        };
        for (auto kernel = kernels.cbegin(); kernel != kernels.cend(); ++kernel) {
            for (const auto& [attempt, stoppers] : attempts) {
                QTest::addRow("%s: %s", qPrintable(kernel.key()), qPrintable(attempt))
                    << kernel.key() << attempt << int(stoppers.toInt());
            }
        }
    }

    void confinedIntruderIsStopped()
    {
        QFETCH(QString, kernel);
        QFETCH(QString, attempt);
        QFETCH(int, stoppedBy);
        const Attempts& attempts = confinedRun(kernel);
        QVERIFY2(attempts.errors.isEmpty(), qPrintable(attempts.errors));
        SandboxSupport::setForTesting(kernels.value(kernel));
        const SandboxLayers layers = SandboxSupport::current().layers();
        SandboxSupport::setForTesting(std::nullopt);
        const bool refused = (layers & SandboxLayers::fromInt(stoppedBy)) != 0;
        const QString outcome = attempts.outcomes.value(attempt);
        QVERIFY2(refused ? outcome.startsWith(u"refused") : outcome == u"allowed", qPrintable(outcome));
    }

    void thisKernelGivesEveryLayer()
    {
        // The machines Trellick is built and tested on offer all of it; a weaker one is a finding.
        const SandboxSupport support = SandboxSupport::current();
        QVERIFY(support.isFull());
        QVERIFY(support.landlockAbi >= 6);
        QCOMPARE(Sandbox(policy()).layers(), support.layers());
    }

    void outputIsWrittenAndHomeUntouched()
    {
        confinedRun(u"this kernel"_s);
        QFile output(m_outputs + u"/result this kernel.txt"_s);
        QVERIFY(output.open(QIODevice::ReadOnly));
        QCOMPARE(output.readAll(), QByteArray("the input\n"));
        QVERIFY(!QFileInfo::exists(QDir::homePath() + u"/planted.txt"_s));
    }

    void environmentIsFresh()
    {
        qputenv("LD_PRELOAD", "");
        qputenv("FFREPORT", "file=/tmp/report.log");
        qputenv("ZIPOPT", "-r");
        qputenv("LC_ALL", "C.UTF-8");
        const Sandbox sandbox(policy());
        qunsetenv("LD_PRELOAD");
        qunsetenv("FFREPORT");
        qunsetenv("ZIPOPT");
        const QProcessEnvironment environment = sandbox.environment();
        QCOMPARE(environment.value(u"HOME"_s), m_scratch);
        QCOMPARE(environment.value(u"TMPDIR"_s), m_scratch);
        QCOMPARE(environment.value(u"LC_ALL"_s), u"C.UTF-8"_s);
        const Attempts attempts = runIntruder(&sandbox, m_outputs + u"/environment.txt"_s);
        for (const QString& name : attempts.environment) {
            const bool expected = name == u"PATH" || name == u"HOME" || name == u"TMPDIR" || name == u"LANG"
                || name == u"LANGUAGE" || name == u"TZ" || name.startsWith(u"LC_");
            QVERIFY2(expected, qPrintable(name));
        }
        QVERIFY(attempts.environment.contains(u"LC_ALL"_s));
    }

    void sentenceSaysHowMuchIsSandboxed_data()
    {
        QTest::addColumn<SandboxSupport>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no Landlock")
            << SandboxSupport{0, true, true}
            << u"Tool runs are partly sandboxed on this computer: steps cannot use the network, but this system does not let Trellick limit which files they open."_s;
        QTest::newRow("no user namespaces")
            << SandboxSupport{7, true, false}
            << u"Tool runs are partly sandboxed on this computer: each step can open only its own files and cannot use the network, but this system does not allow every protection Trellick asks for."_s;
        QTest::newRow("no filter, no namespaces")
            << SandboxSupport{7, false, false}
            << u"Tool runs are partly sandboxed on this computer: each step can open only its own files, but this system does not let Trellick keep steps off the network."_s;
        QTest::newRow("limits alone")
            << SandboxSupport{0, false, false}
            << u"Tool runs are partly sandboxed on this computer: only their memory, time and file sizes are limited."_s;
        QTest::newRow("everything")
            << SandboxSupport{1, true, true}
            << u"Tool runs are fully sandboxed on this computer: each step can open only its own files and cannot use the network."_s;
    }

    void sentenceSaysHowMuchIsSandboxed()
    {
        checkRow<SandboxSupport, QString>([](const SandboxSupport& s) { return s.sentence(); });
    }

    void fileSizeLimitScalesWithAFloor_data()
    {
        QTest::addColumn<qint64>("input");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("overflow") << std::numeric_limits<qint64>::max() / 2 << std::numeric_limits<qint64>::max();
        QTest::newRow("empty") << qint64(0) << SandboxPolicy::fileSizeFloor;
        QTest::newRow("large") << (qint64(1) << 30) << (qint64(20) << 30);
    }

    void fileSizeLimitScalesWithAFloor() { checkRow<qint64, qint64>(&SandboxPolicy::fileSizeLimitFor); }
};

TRELLICK_TEST_MAIN(TestSandbox)
#include "tst_sandbox.moc"
