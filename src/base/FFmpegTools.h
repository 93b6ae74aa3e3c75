#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <optional>

class ProcessJob;

// One ffmpeg with its ffprobe, as a run, a probe or the info command will use them.
struct FFmpegPair
{
    QString ffmpeg;
    QString ffprobe;
    // Found on PATH and used in place, rather than the program's own copy.
    bool fromSystem = false;

    // The path of "ffmpeg" or "ffprobe".
    QString path(const QString& tool) const { return tool == u"ffprobe" ? ffprobe : ffmpeg; }
};

// Where ffmpeg and ffprobe come from: the program's own copy in its tools folder when both files are there
// and executable; otherwise the system's, found on PATH, when both answer -version. Only when neither is
// there do they have to be downloaded.
//
// Whether the system's copy answers is learnt by running it, which the window never waits for: until a
// ToolCheck (or checkNow) has read it, that copy is not chosen. The same check reads the version and the
// encoders of the copy in use. The answer is kept per file, so an
// upgrade of the system's ffmpeg is checked again. Every function here may be called from any thread.
namespace FFmpegTools {

std::optional<FFmpegPair> ownCopy();
// Both programs on PATH as executable files, whether or not they answer.
std::optional<FFmpegPair> systemCopy();
// The pair to use, as above, or none.
std::optional<FFmpegPair> chosen();
// Something about the copy in use (or the system's, when there is no own copy) is not known yet.
bool needsCheck();
// Runs the system's copy to learn whether it answers, waiting for it: for command-line programs only.
void checkNow();
// The version an ffmpeg or ffprobe gave in its -version line ("5.1.6-0+deb12u1", "n7.1-1-g...") once it has
// been checked, else empty.
QString version(const QString& program);
// "5.1" of "5.1.6-0+deb12u1" or of "n5.1-..."; empty when the version does not start with a number
// (a development build).
QString shortVersion(const QString& version);

// Records what a -version run printed; used by the checks and by the installer for what it installed.
void noteAnswer(const QString& program, bool answered, const QString& output);

// The encoders an ffmpeg listed in its "-hide_banner -encoders" answer, once a check has read it; none
// while unknown, and for a build that could not list them.
std::optional<QStringList> encoders(const QString& ffmpeg);
// Records what such a run printed (nothing usable when it failed).
void noteEncoders(const QString& ffmpeg, const QString& output);

// The chosen ffmpeg's short version ("5.1"): empty when none is chosen, it has not answered yet or it is a
// development build.
QString chosenVersion();
// The folder of the chosen ffmpeg ("/usr/bin"), or empty when none is chosen.
QString chosenFolder();

} // namespace FFmpegTools

// Learns whether the system's ffmpeg and ffprobe answer -version, and the versions and encoders of the
// copy in use, one child at a time on the owner's thread. start() once; `finished` follows exactly once,
// never from inside start().
class ToolCheck : public QObject
{
    Q_OBJECT

public:
    explicit ToolCheck(QObject* parent = nullptr);

    void start();

signals:
    void finished();

private:
    void next();

    QList<QPair<QString, QStringList>> m_pending;
    QPointer<ProcessJob> m_process;
};
