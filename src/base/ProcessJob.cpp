#include "ProcessJob.h"

#include "ProcessUtil.h"
#include "platform/ChildConfinement.h"

#include <QEventLoop>
#include <QRegularExpression>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// The last `cap` bytes, starting at a character rather than inside one, so that the kept text still
// decodes as UTF-8.
QByteArray tail(const QByteArray& bytes, qsizetype cap)
{
    qsizetype from = bytes.size() - cap;
    while (from < bytes.size() && (static_cast<unsigned char>(bytes.at(from)) & 0xC0) == 0x80) {
        ++from;
    }
    return bytes.sliced(from);
}

// Why a child could not start, in the system's words only: Qt puts the name of the call that failed in front
// ("execve: No such file or directory").
QString launchError(const QProcess& process)
{
    static const QRegularExpression callName(u"^[a-z_]+: "_s);
    return process.errorString().remove(callName);
}

} // namespace

ProcessJob::ProcessJob(QObject* parent)
    : QObject(parent)
{
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_deadline.setSingleShot(true);
    m_grace.setSingleShot(true);
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &ProcessJob::readOutput);
    connect(&m_process, &QProcess::readyReadStandardError, this, &ProcessJob::readError);
    // On a crash QProcess gives the signal number as the exit code, as a wait status would.
    connect(&m_process, &QProcess::finished, this, [this](int exitCode) { onFinished(exitCode); });
    connect(&m_process, &QProcess::errorOccurred, this, &ProcessJob::onError);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        m_process.kill();
    });
    connect(&m_grace, &QTimer::timeout, &m_process, &QProcess::kill);
}

ProcessJob::~ProcessJob()
{
    m_process.disconnect(this);
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(1000);
    }
}

void ProcessJob::start(const QString& program, const QStringList& args)
{
    Q_ASSERT(!m_started);
    m_started = true;
    m_process.setProgram(program);
    m_process.setArguments(args);
    if (!m_cwd.isEmpty()) {
        m_process.setWorkingDirectory(m_cwd);
    }
    if (m_sandbox) {
        m_sandbox->applyTo(m_process);
    } else {
        m_process.setChildProcessModifier([parent = ::getpid()] { ChildConfinement::dieWithParent(parent); });
    }
    if (m_deadlineMs) {
        m_deadline.start(*m_deadlineMs);
    }
    m_process.start();
}

void ProcessJob::cancel()
{
    if (m_done || m_process.state() == QProcess::NotRunning) {
        return;
    }
    m_process.terminate();
    m_grace.start(terminateGraceMs);
}

void ProcessJob::readOutput()
{
    const QByteArray chunk = m_process.readAllStandardOutput();
    if (chunk.isEmpty()) {
        return;
    }
    const qsizetype room = m_cap - m_out.size();
    if (chunk.size() > room) {
        m_cut = true;
    }
    m_out += chunk.first(std::clamp<qsizetype>(room, 0, chunk.size()));
    emit outputRead(chunk);
}

void ProcessJob::readError()
{
    m_err += m_process.readAllStandardError();
    // Cut only once the text is well past the cap, so that a chatty tool is not cut at every read.
    if (m_err.size() > 2 * m_cap) {
        m_err = tail(m_err, m_cap);
        m_cut = true;
    }
}

void ProcessJob::onFinished(int exitCode)
{
    readOutput();
    readError();
    if (m_err.size() > m_cap) {
        m_err = tail(m_err, m_cap);
        m_cut = true;
    }
    if (m_timedOut) {
        finish({-1, ProcessUtil::strictUtf8(m_out), u"The program took too long and was stopped."_s, m_cut});
        return;
    }
    finish({exitCode, ProcessUtil::strictUtf8(m_out), ProcessUtil::strictUtf8(m_err), m_cut});
}

void ProcessJob::onError(QProcess::ProcessError error)
{
    // Every other error ends in `finished` as well; only a failed start never gets there.
    if (error == QProcess::FailedToStart) {
        finish({-1, {}, launchError(m_process)});
    }
}

void ProcessJob::finish(const ProcResult& result)
{
    if (m_done) {
        return;
    }
    m_done = true;
    m_deadline.stop();
    m_grace.stop();
    // A failed start can be reported from inside start(); the caller hears of it from the event loop.
    QMetaObject::invokeMethod(
        this, [this, result] { emit finished(result); }, Qt::QueuedConnection);
}

ProcResult ProcessJob::runBlocking(const QString& program, const QStringList& args, const QString& cwd,
                                   std::optional<int> deadlineMs, const std::optional<Sandbox>& sandbox)
{
    ProcessJob job;
    job.setWorkingDirectory(cwd);
    if (deadlineMs) {
        job.setDeadline(*deadlineMs);
    }
    if (sandbox) {
        job.setSandbox(*sandbox);
    }
    ProcResult result;
    QEventLoop loop;
    connect(&job, &ProcessJob::finished, &loop, [&](const ProcResult& ended) {
        result = ended;
        loop.quit();
    });
    job.start(program, args);
    loop.exec();
    return result;
}
