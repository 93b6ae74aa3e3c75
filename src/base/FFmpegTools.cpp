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

// Per build: the encoders it listed, or none when it could not list them (then nothing is refused for it).
QHash<QString, std::optional<QStringList>>& encoderLists()
{
    static QHash<QString, std::optional<QStringList>> known;
    return known;
}

bool encodersChecked(const QString& ffmpeg)
{
    const QString key = identity(ffmpeg);
    const QMutexLocker lock(&answersLock);
    return !key.isEmpty() && encoderLists().contains(key);
}

const QStringList versionArgs{u"-version"_s};
const QStringList encoderArgs{u"-hide_banner"_s, u"-encoders"_s};

// The runs still needed: -version of both programs and -encoders of ffmpeg, of the own copy when there is
// one, else of the system's.
QList<QPair<QString, QStringList>> unchecked()
{
    QList<QPair<QString, QStringList>> runs;
    std::optional<FFmpegPair> pair = FFmpegTools::ownCopy();
    if (!pair) {
        pair = FFmpegTools::systemCopy();
    }
    if (!pair) {
        return runs;
    }
    for (const QString& program : {pair->ffmpeg, pair->ffprobe}) {
        if (!answerFor(program)) {
            runs.append({program, versionArgs});
        }
    }
    if (!encodersChecked(pair->ffmpeg)) {
        runs.append({pair->ffmpeg, encoderArgs});
    }
    return runs;
}

void noteRun(const QString& program, const QStringList& args, const ProcResult& result)
{
    if (args == encoderArgs) {
        FFmpegTools::noteEncoders(program, result.status == 0 ? result.out : QString());
    } else {
        FFmpegTools::noteAnswer(program, result.status == 0, result.out);
    }
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
    return !unchecked().isEmpty();
}

void checkNow()
{
    for (const auto& [program, args] : unchecked()) {
        noteRun(program, args, ProcessJob::runBlocking(program, args, {}, versionTimeLimitMs));
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

std::optional<QStringList> encoders(const QString& ffmpeg)
{
    const QString key = identity(ffmpeg);
    const QMutexLocker lock(&answersLock);
    const auto it = encoderLists().constFind(key);
    if (key.isEmpty() || it == encoderLists().constEnd()) {
        return std::nullopt;
    }
    return *it;
}

void noteEncoders(const QString& ffmpeg, const QString& output)
{
    // " V....D libx264   libx264 H.264 / AVC ..." under a legend that ends with a line of dashes.
    static const QRegularExpression line(u"^ [VASFXBD.]{6} (\\S+)"_s);
    QStringList names;
    const QStringList lines = output.split(u'\n');
    for (qsizetype i = lines.indexOf(u" ------"_s) + 1; i > 0 && i < lines.size(); ++i) {
        if (const QRegularExpressionMatch match = line.match(lines[i]); match.hasMatch()) {
            names << match.captured(1);
        }
    }
    const QString key = identity(ffmpeg);
    if (key.isEmpty()) {
        return;
    }
    const QMutexLocker lock(&answersLock);
    encoderLists().insert(key, names.isEmpty() ? std::nullopt : std::optional(names));
}

QString chosenVersion()
{
    const std::optional<FFmpegPair> pair = chosen();
    return pair ? shortVersion(version(pair->ffmpeg)) : QString();
}

QString chosenFolder()
{
    const std::optional<FFmpegPair> pair = chosen();
    return pair ? QFileInfo(pair->ffmpeg).absolutePath() : QString();
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
    const QPair<QString, QStringList> run = m_pending.takeFirst();
    m_process = new ProcessJob(this);
    m_process->setDeadline(versionTimeLimitMs);
    connect(m_process, &ProcessJob::finished, this, [this, run](const ProcResult& result) {
        m_process->deleteLater();
        noteRun(run.first, run.second, result);
        next();
    });
    m_process->start(run.first, run.second);
}
