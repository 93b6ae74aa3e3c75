#include "FFmpegTools.h"

#include "AppPaths.h"
#include "ProcessJob.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

constexpr int versionTimeLimitMs = 10000;

bool isExecutableFile(const QString& path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// What identifies one build of a program: its real file, its size and its time.
QString identity(const QString& program)
{
    const QFileInfo info(QFileInfo(program).canonicalFilePath());
    if (!info.exists()) {
        return {};
    }
    return info.filePath() + u'\n' + QString::number(info.size()) + u'\n'
        + QString::number(info.lastModified().toMSecsSinceEpoch());
}

struct Answer
{
    bool answered = false;
    QString version;
};

QMutex answersLock;
QHash<QString, Answer>& answers()
{
    static QHash<QString, Answer> known;
    return known;
}

std::optional<Answer> answerFor(const QString& program)
{
    const QString key = identity(program);
    const QMutexLocker lock(&answersLock);
    const auto it = answers().constFind(key);
    if (key.isEmpty() || it == answers().constEnd()) {
        return std::nullopt;
    }
    return *it;
}

QStringList unchecked()
{
    QStringList programs;
    if (const std::optional<FFmpegPair> system = FFmpegTools::systemCopy()) {
        for (const QString& program : {system->ffmpeg, system->ffprobe}) {
            if (!answerFor(program)) {
                programs << program;
            }
        }
    }
    return programs;
}

} // namespace

namespace FFmpegTools {

std::optional<FFmpegPair> ownCopy()
{
    const QString bin = AppPaths::binDir();
    FFmpegPair pair{bin + u"/ffmpeg"_s, bin + u"/ffprobe"_s, false};
    if (!isExecutableFile(pair.ffmpeg) || !isExecutableFile(pair.ffprobe)) {
        return std::nullopt;
    }
    return pair;
}

std::optional<FFmpegPair> systemCopy()
{
    FFmpegPair pair{QStandardPaths::findExecutable(u"ffmpeg"_s), QStandardPaths::findExecutable(u"ffprobe"_s), true};
    if (!isExecutableFile(pair.ffmpeg) || !isExecutableFile(pair.ffprobe)) {
        return std::nullopt;
    }
    return pair;
}

std::optional<FFmpegPair> chosen()
{
    if (std::optional<FFmpegPair> own = ownCopy()) {
        return own;
    }
    std::optional<FFmpegPair> system = systemCopy();
    if (!system) {
        return std::nullopt;
    }
    const std::optional<Answer> ffmpeg = answerFor(system->ffmpeg);
    const std::optional<Answer> ffprobe = answerFor(system->ffprobe);
    if (!ffmpeg || !ffprobe || !ffmpeg->answered || !ffprobe->answered) {
        return std::nullopt;
    }
    return system;
}

bool needsCheck()
{
    return !ownCopy() && !unchecked().isEmpty();
}

void checkNow()
{
    for (const QString& program : unchecked()) {
        const ProcResult result = ProcessJob::runBlocking(program, {u"-version"_s}, {}, versionTimeLimitMs);
        noteAnswer(program, result.status == 0, result.out);
    }
}

QString version(const QString& program)
{
    const std::optional<Answer> answer = answerFor(program);
    return answer ? answer->version : QString();
}

QString shortVersion(const QString& version)
{
    static const QRegularExpression number(u"^n?(\\d+)(\\.\\d+)?"_s);
    const QRegularExpressionMatch match = number.match(version);
    if (!match.hasMatch()) {
        return {};
    }
    return match.captured(1) + (match.captured(2).isEmpty() ? u".0"_s : match.captured(2));
}

void noteAnswer(const QString& program, bool answered, const QString& output)
{
    // "ffmpeg version 5.1.6-0+deb12u1 Copyright (c) ..."
    static const QRegularExpression line(u"^\\S+ version (\\S+)"_s);
    const QRegularExpressionMatch match = line.match(output);
    Answer answer{answered && match.hasMatch(), match.captured(1)};
    const QString key = identity(program);
    if (key.isEmpty()) {
        return;
    }
    const QMutexLocker lock(&answersLock);
    answers().insert(key, answer);
}

} // namespace FFmpegTools

ToolCheck::ToolCheck(QObject* parent)
    : QObject(parent)
{
}

void ToolCheck::start()
{
    m_pending = unchecked();
    QTimer::singleShot(0, this, &ToolCheck::next);
}

void ToolCheck::next()
{
    if (m_pending.isEmpty()) {
        emit finished();
        return;
    }
    const QString program = m_pending.takeFirst();
    m_process = new ProcessJob(this);
    m_process->setDeadline(versionTimeLimitMs);
    connect(m_process, &ProcessJob::finished, this, [this, program](const ProcResult& result) {
        m_process->deleteLater();
        FFmpegTools::noteAnswer(program, result.status == 0, result.out);
        next();
    });
    m_process->start(program, {u"-version"_s});
}
