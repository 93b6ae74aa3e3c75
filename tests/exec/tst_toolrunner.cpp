#include "TestFiles.h"
#include "TestMain.h"
#include "TestMedia.h"
#include "exec/ToolRunner.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

using Report = std::pair<std::optional<double>, QString>;

// A run's result as one flat record, so that a whole result compares at once.
struct Ended
{
    QStringList outputs;
    bool ok = false;
    bool cancelled = false;
    QString summary;
    QString details;

    bool operator==(const Ended&) const = default;
};

Ended flat(const RunResult& result)
{
    if (result.ok()) {
        return {result.value().outputs, true, false, {}, {}};
    }
    const RunError& error = result.error();
    return {{}, false, error.kind == ErrorKind::cancelled, error.message, error.details};
}

// A run that failed, not cancelled, with these words.
Ended failed(const QString& summary, const QString& details = {})
{
    return {{}, false, false, summary, details};
}

struct Finished
{
    Ended outcome;
    QList<Report> reports;
};

ResolvedStep step(const QString& summary, const std::optional<QString>& executable, const QStringList& args,
                  const QString& output)
{
    ResolvedStep s;
    s.id = QUuid::createUuid();
    s.summary = summary;
    s.executable = executable;
    s.args = args;
    s.outputPath = output;
    return s;
}

ResolvedOption option(QList<ResolvedStep> steps, std::optional<double> resultSeconds = std::nullopt)
{
    ResolvedOption o;
    o.id = QUuid::createUuid();
    if (!steps.isEmpty()) {
        steps.last().isFinal = true;
    }
    o.steps = steps;
    o.resultSeconds = resultSeconds;
    return o;
}

// Runs `option` to its end; `whileRunning` is called once the run has started.
Finished run(const ResolvedOption& option, std::optional<double> fallback = std::nullopt,
             const std::function<void(ToolRunner&, Finished&)>& whileRunning = {})
{
    ToolRunner runner;
    Finished result;
    bool done = false;
    RunJob* job = runner.run(option, fallback, [&](std::optional<double> fraction, const QString& status) {
        result.reports << Report{fraction, status};
    });
    QObject::connect(job, &RunJob::finished, &runner, [&](const RunResult& outcome) {
        result.outcome = flat(outcome);
        done = true;
    });
    if (whileRunning) {
        whileRunning(runner, result);
    }
    if (!QTest::qWaitFor([&] { return done; }, 180000)) {
        qWarning("the run did not finish");
    }
    runner.cancel(); // after the end: harmless
    return result;
}

} // namespace

class TestToolRunner : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_bin; // a tools folder holding Debian's ffmpeg under its own name
    QString m_video;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    // A small program standing in for a tool: a shell script run directly, without a shell in between.
    QString script(const QString& name, const QByteArray& body) const
    {
        const QString file = TestFiles::write(path(u"tools/"_s + name), "#!/bin/sh\n" + body);
        QFile(file).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return file;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_bin = path(u"bin"_s);
        QVERIFY(QDir().mkpath(m_bin));
        QVERIFY(QFile::link(u"/usr/bin/ffmpeg"_s, m_bin + u"/ffmpeg"_s));
        m_video = path(u"holiday.mp4"_s);
        QVERIFY(TestMedia::videoMp4(m_video));
    }

    void friendlyMessages_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString encoder = u"This copy of ffmpeg does not include a needed encoder or decoder."_s;
        QTest::newRow("nothing known") << u"something odd"_s << 3 << u"The tool stopped with an error (code 3)."_s;
        QTest::newRow("encoder") << u"Unknown encoder 'libfoo'"_s << 1 << encoder;
        QTest::newRow("encoder first") << u"Encoder not found; permission denied"_s << 1 << encoder;
        QTest::newRow("exists") << u"File 'a.mp4' already exists. Exiting."_s << 1
                                << u"A file with that name already exists, so nothing was written."_s;
        QTest::newRow("missing") << u"x.mp4: No such file or directory"_s << 1
                                 << u"The tool could not find the file. It may have been moved or renamed."_s;
        QTest::newRow("denied any case")
            << u"PERMISSION Denied"_s << 1
            << u"The system did not allow writing there. Check the folder's permissions."_s;
        QTest::newRow("damaged") << u"Invalid data found when processing input"_s << 1
                                 << u"The file looks damaged or is not the type it claims to be."_s;
        QTest::newRow("argument") << u"Invalid argument"_s << 1
                                  << u"The tool did not understand the command. Try changing your request."_s;
        // The full disk before the tool's own words about the failed write.
        QTest::newRow("disk full") << u"av_interleaved_write_frame(): No space left on device\nError opening"_s << 1
                                   << u"There is not enough free space on the disk for the new file."_s;
        QTest::newRow("size limit")
            << u""_s << 25 << u"The result grew larger than the limit for one file (1 GB), so it was stopped."_s;
    }

    void friendlyMessages()
    {
        QFETCH(QString, text);
        QFETCH(int, status);
        QFETCH(QString, message);
        const RunError error = ToolRunner::failure(text, status);
        QCOMPARE(error.message, message);
        QCOMPARE(error.details, text);
        // The runner leaves a file the tool said was there already: that decision rests on the kind.
        QCOMPARE(error.kind == ErrorKind::alreadyExists, message.startsWith(u"A file with that name"_s));
    }

    void stepsReportTheirPlace()
    {
        ResolvedOption o
            = option({step(u"First"_s, u"/usr/bin/touch"_s, {path(u"scratch/one"_s)}, path(u"scratch/one"_s)),
                      step(u"Second"_s, u"/usr/bin/touch"_s, {path(u"scratch/two"_s)}, path(u"scratch/two"_s)),
                      step(u"Third"_s, u"/usr/bin/touch"_s, {path(u"three"_s)}, path(u"three"_s))});
        o.tempDir = path(u"scratch"_s);
        const Finished f = run(o);
        QCOMPARE(f.outcome, (Ended{{path(u"three"_s)}, true, false, {}, {}}));
        QCOMPARE(f.reports,
                 (QList<Report>{{0.0, u"Step 1 of 3: First"_s},
                                {1.0 / 3, u"Step 2 of 3: Second"_s},
                                {2.0 / 3, u"Step 3 of 3: Third"_s},
                                {1.0, u"Done"_s}}));
        QVERIFY(!QFile::exists(path(u"scratch"_s))); // the scratch folder goes, the result stays
        QVERIFY(QFile::exists(path(u"three"_s)));

        const Finished single = run(option({step(u"Only"_s, u"/usr/bin/touch"_s, {path(u"only"_s)}, path(u"only"_s))}));
        QCOMPARE(single.reports.first(), Report(0.0, u"Only"_s));
    }

    void ffmpegProgressBecomesFractions()
    {
        const QString fake
            = script(u"fake/ffmpeg"_s,
                     "printf '\\377\\376\\n'; sleep 0.3; printf 'frame=1\\nout_time_us=N/A\\n'; sleep 0.3\n"
                     "printf 'out_time_us=50'; sleep 0.3\n"
                     "printf '00000\\nout_time_ms=30000000\\nprogress=end\\n'\n"
                     "for last; do :; done; printf '%s\\n' \"$@\" > \"$last\"\n");
        const QString out = path(u"progress.mp4"_s);
        const Finished f = run(option({step(u"Prepare"_s, u"/usr/bin/touch"_s, {path(u"first"_s)}, path(u"first"_s)),
                                       step(u"Cut"_s, fake, {u"-i"_s, m_video, out}, out)},
                                      10.0));
        QVERIFY(f.outcome.ok);
        QCOMPARE(f.reports,
                 (QList<Report>{{0.0, u"Step 1 of 2: Prepare"_s},
                                {0.5, u"Step 2 of 2: Cut"_s},
                                {std::nullopt, u"Step 2 of 2: Cut"_s},
                                {0.75, u"Step 2 of 2: Cut"_s},
                                {1.0, u"Step 2 of 2: Cut"_s},
                                {1.0, u"Done"_s}}));
        // The tool writes under a private name beside the output; only the finished file gets the name.
        const QStringList args = QString::fromUtf8(TestFiles::read(out)).split(u'\n', Qt::SkipEmptyParts);
        // Every input is read as one file's medium, never as a list of other files.
        QCOMPARE(args.first(4), (QStringList{u"-progress"_s, u"pipe:1"_s, u"-nostats"_s, u"-format_whitelist"_s}));
        QVERIFY(args.value(4).startsWith(u"mov,matroska,"_s) && !args.value(4).contains(u"hls"_s));
        QCOMPARE(args.mid(5, 2), (QStringList{u"-i"_s, m_video}));
        QVERIFY2(QRegularExpression(u"^"_s + QRegularExpression::escape(m_dir.path())
                                    + u"/\\.trellick-[0-9A-F-]{36}/progress\\.mp4$"_s)
                     .match(args.value(7))
                     .hasMatch(),
                 qPrintable(args.value(7)));

        // The input's own duration stands in when the plan gives none; without either there is no measure.
        const QString out2 = path(u"progress2.mp4"_s);
        const Finished f2 = run(option({step(u"Cut"_s, fake, {out2}, out2)}), 20.0);
        QVERIFY(f2.reports.contains(Report(0.25, u"Cut"_s)));
        const QString out3 = path(u"progress3.mp4"_s);
        const Finished f3 = run(option({step(u"Cut"_s, fake, {out3}, out3)}));
        QCOMPARE(f3.reports.count(Report(std::nullopt, u"Cut"_s)), 3);
    }

    void cancellingRealFFmpegRemovesPartialOutput()
    {
        const QByteArray before = TestFiles::read(m_video);
        const QString out = path(u"holiday (slow).mp4"_s);
        ResolvedOption o
            = option({step(u"Re-encode"_s, m_bin + u"/ffmpeg"_s,
                           {u"-hide_banner"_s, u"-n"_s, u"-nostdin"_s, u"-stream_loop"_s, u"20"_s, u"-i"_s, m_video,
                            u"-vf"_s, u"scale=1280:960"_s, u"-c:v"_s, u"libx264"_s, u"-preset"_s, u"slow"_s, out},
                           out)},
                     42.0);
        o.steps[0].inputs = {m_video};
        const Finished f = run(o, std::nullopt, [&](ToolRunner& runner, Finished& progress) {
            // Stop once ffmpeg has written part of the file and reported a position.
            QVERIFY(QTest::qWaitFor([&] { return progress.reports.size() > 1 && progress.reports.last().first > 0.0; },
                                    120000));
            QVERIFY(!QFile::exists(out)); // written in the run's staging folder, never under its name
            runner.cancel();
            runner.cancel(); // twice is harmless
        });
        QCOMPARE(f.outcome, (Ended{{}, false, true, u"Cancelled. Nothing was changed."_s, {}}));
        QVERIFY(!QFile::exists(out));
        QCOMPARE(QDir(m_dir.path()).entryList({u".trellick-*"_s}, QDir::AllEntries | QDir::Hidden), QStringList());
        QVERIFY(TestFiles::read(m_video) == before);
    }

    // Stop pressed before the run begins, or as the step starts while its sandbox is still being prepared
    // off the thread: the tool never runs.
    void cancelBeforeTheToolRunsRunsNothing_data()
    {
        QTest::addColumn<bool>("atFirstReport");
        QTest::newRow("before the start") << false;
        QTest::newRow("as the step starts") << true;
    }

    void cancelBeforeTheToolRunsRunsNothing()
    {
        QFETCH(bool, atFirstReport);
        const QString out = path(u"never-%1"_s.arg(atFirstReport));
        const QString tool = script(u"leaves-a-trace"_s, "touch \"$1.ran\" \"$1\"\n");
        ToolRunner runner;
        std::optional<Ended> outcome;
        RunJob* job = runner.run(option({step(u"Touch"_s, tool, {out}, out)}), std::nullopt,
                                 [&](std::optional<double>, const QString&) { runner.cancel(); });
        if (!atFirstReport) {
            runner.cancel();
        }
        QObject::connect(job, &RunJob::finished, &runner, [&](const RunResult& result) { outcome = flat(result); });
        QVERIFY(QTest::qWaitFor([&] { return outcome.has_value(); }, 60000));
        QCOMPARE(*outcome, (Ended{{}, false, true, u"Cancelled. Nothing was changed."_s, {}}));
        QVERIFY(!QFile::exists(out + u".ran"_s));
    }

    void existingOutputStopsTheRun()
    {
        const QString out = TestFiles::write(path(u"taken.mp4"_s), "precious");
        const QString later = path(u"later"_s);
        const Finished f = run(option(
            {step(u"One"_s, u"/usr/bin/touch"_s, {out}, out), step(u"Two"_s, u"/usr/bin/touch"_s, {later}, later)}));
        QCOMPARE(
            f.outcome,
            failed(
                u"A file named “taken.mp4” already exists, so nothing was written. Plan the action again to get a fresh name."_s));
        QCOMPARE(QFileInfo(out).size(), 8);
        QVERIFY(!QFile::exists(later));
    }

    void failuresBecomeSentences()
    {
        // A tool that writes part of its file and then fails: the part goes, the words become a sentence.
        const QString out = path(u"failed.mp4"_s);
        const QString failing
            = script(u"failing"_s, "echo partial > \"$1\"; echo 'open: Permission DENIED' >&2; exit 1\n");
        const Finished f = run(option({step(u"Fail"_s, failing, {out}, out)}));
        QCOMPARE(f.outcome,
                 failed(u"The system did not allow writing there. Check the folder's permissions."_s,
                        u"open: Permission DENIED\n"_s));
        QVERIFY(!QFile::exists(out));

        const QString silent = script(u"silent"_s, "exit 0\n");
        const Finished s = run(option({step(u"Nothing"_s, silent, {path(u"x"_s)}, path(u"x"_s))}));
        QCOMPARE(s.outcome, failed(u"The tool finished but did not create the new file."_s));

        const Finished none = run(option({step(u"None"_s, std::nullopt, {}, path(u"y"_s))}));
        QCOMPARE(none.outcome, failed(u"The tool stopped with an error (code -1)."_s, u"No program to run."_s));

        const Finished missing = run(option({step(u"Gone"_s, path(u"no-such-tool"_s), {}, path(u"z"_s))}));
        QCOMPARE(missing.outcome,
                 failed(u"The tool could not find the file. It may have been moved or renamed."_s,
                        u"Could not start the tool: "_s + qt_error_string(ENOENT)));

        const QString crashing = script(u"crashing"_s, "kill -SEGV $$\n");
        const Finished c = run(option({step(u"Crash"_s, crashing, {}, path(u"w"_s))}));
        QCOMPARE(c.outcome.summary, u"The tool stopped with an error (code 11)."_s);
    }

    void aNameTakenDuringTheRunIsLeftAlone()
    {
        // Another program creates the reserved name once the run has begun: its file is never touched,
        // and the result takes the next free name.
        const QString out = path(u"raced.mp4"_s);
        const QString scratch = path(u"race-scratch"_s);
        // The tool says it has begun and waits for the word to end, both through its scratch folder.
        const QString writing = script(u"writing"_s,
                                       "echo ours > \"$1\"; touch \"$2/begun\"\n"
                                       "while [ ! -e \"$2/end\" ]; do sleep 0.05; done\n");
        ResolvedOption o = option({step(u"Race"_s, writing, {out, scratch}, out)});
        o.tempDir = scratch;
        const Finished f = run(o, std::nullopt, [&](ToolRunner&, Finished&) {
            QVERIFY(QTest::qWaitFor([&] { return QFile::exists(scratch + u"/begun"_s); }, 60000));
            TestFiles::write(out, "theirs");
            TestFiles::write(scratch + u"/end"_s, "");
        });
        QCOMPARE(f.outcome.outputs, QStringList{path(u"raced 2.mp4"_s)});
        QCOMPARE(TestFiles::read(out), QByteArray("theirs"));
        QCOMPARE(TestFiles::read(path(u"raced 2.mp4"_s)), QByteArray("ours\n"));
    }

    void laterStepsDoNotRunAfterAFailure()
    {
        const QString failing = script(u"failing2"_s, "exit 4\n");
        ResolvedOption o = option({step(u"One"_s, u"/usr/bin/touch"_s, {path(u"tmp2/one"_s)}, path(u"tmp2/one"_s)),
                                   step(u"Two"_s, failing, {}, path(u"tmp2/two"_s)),
                                   step(u"Three"_s, u"/usr/bin/touch"_s, {path(u"three3"_s)}, path(u"three3"_s))});
        o.tempDir = path(u"tmp2"_s);
        const Finished f = run(o);
        QCOMPARE(f.outcome.summary, u"The tool stopped with an error (code 4)."_s);
        QVERIFY(!QFile::exists(path(u"tmp2"_s)));
        QVERIFY(!QFile::exists(path(u"three3"_s)));
    }

    void aScratchFolderThatWasThereIsLeftAlone()
    {
        TestFiles::write(path(u"theirs/keep.txt"_s), "keep");
        ResolvedOption o = option({step(u"One"_s, u"/usr/bin/touch"_s, {path(u"mine"_s)}, path(u"mine"_s))});
        o.tempDir = path(u"theirs"_s);
        QVERIFY(run(o).outcome.ok);
        QVERIFY(QFile::exists(path(u"theirs/keep.txt"_s)));
    }

    // A step done inside the application fails as a sentence and leaves no folder behind.
    void nativeStepFailures()
    {
        const QString junk = TestFiles::write(path(u"junk.pdf"_s), "junk");
        ResolvedStep failing = step(u"Pictures"_s, std::nullopt, {}, path(u"junk pictures"_s));
        failing.outputIsFolder = true;
        failing.native = NativeJobs::PdfImages{junk, path(u"junk pictures"_s)};
        const Finished bad = run(option({failing}));
        QCOMPARE(bad.outcome,
                 failed(u"That did not work: The PDF could not be opened."_s, u"The PDF could not be opened."_s));
        QVERIFY(!QFile::exists(path(u"junk pictures"_s)));
    }
};

TRELLICK_TEST_MAIN(TestToolRunner)
#include "tst_toolrunner.moc"
