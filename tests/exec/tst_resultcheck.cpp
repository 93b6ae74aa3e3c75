#include "TestFiles.h"
#include "TestMain.h"
#include "TestMedia.h"
#include "exec/ResultCheck.h"
#include "files/ProbeHelper.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

// The new files of a run, probed by the real helper and judged against what the plan said.
class TestResultCheck : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    bool make(const QString& maker, const QString& target)
    {
        if (maker == u"video"_s) {
            return TestMedia::videoMp4(target);
        }
        if (maker == u"picture"_s) {
            return TestMedia::picture(target, 80, 60);
        }
        if (maker == u"pdf"_s) {
            return TestMedia::pdf(target, 3);
        }
        if (maker == u"folder"_s || maker == u"two files"_s) {
            QDir().mkpath(target);
            return maker == u"folder"_s
                || (!TestFiles::write(target + u"/1.png"_s, "x").isEmpty()
                    && !TestFiles::write(target + u"/2.png"_s, "x").isEmpty());
        }
        return !TestFiles::write(target, maker.toUtf8()).isEmpty();
    }

    static ResolvedOption option(const QStringList& outputs, std::optional<double> seconds = std::nullopt,
                                 std::optional<NativeJob> job = std::nullopt)
    {
        ResolvedOption option;
        option.resultSeconds = seconds;
        for (const QString& output : outputs) {
            ResolvedStep step;
            step.outputPath = output;
            step.isFinal = true;
            step.native = job;
            option.steps << step;
        }
        return option;
    }

    static RunResult check(const ResolvedOption& option)
    {
        std::optional<RunResult> result;
        QObject context;
        ResultCheck::check(option, RunOutcome{option.finalOutputs(), {}}, &ProbeHelper::probe, &context,
                           [&result](const RunResult& checked) { result = checked; });
        if (!QTest::qWaitFor([&] { return result.has_value(); }, 60000)) {
            return RunError{u"the check did not end"_s, {}};
        }
        return *result;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void judgesEachNewFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("maker"); // what makes the file; any other text is its content
        QTest::addColumn<double>("seconds"); // the plan's result_seconds, 0 for none
        QTest::addColumn<QString>("facts"); // a pattern, or empty when the file fails
        QTest::addColumn<QString>("outcome"); // the warning, or the failure

        QTest::newRow("video") << u"clip.mp4"_s << u"video"_s << 0.0 << u"^0:02 · 320 × 240 · \\d+ kB$"_s << QString();
        QTest::newRow("within a second") << u"near.mp4"_s << u"video"_s << 2.9 << u"^0:02 · "_s << QString();
        QTest::newRow("undecodable video") << u"broken.mp4"_s << u"not a video at all"_s << 0.0 << QString()
                                           << u"“broken.mp4” can't be read as a video."_s;
        QTest::newRow("undecodable sound")
            << u"broken.m4a"_s << u"not a sound"_s << 0.0 << QString() << u"“broken.m4a” can't be read as sound."_s;
        QTest::newRow("picture") << u"small.png"_s << u"picture"_s << 0.0 << u"^80 × 60 · \\d+ bytes$"_s << QString();
        QTest::newRow("undecodable picture")
            << u"broken.jpg"_s << u"garbage"_s << 0.0 << QString() << u"“broken.jpg” can't be read as a picture."_s;
        QTest::newRow("empty") << u"empty.png"_s << QString() << 0.0 << QString() << u"“empty.png” is empty."_s;
        QTest::newRow("pdf") << u"doc.pdf"_s << u"pdf"_s << 0.0 << u"^3 pages · "_s << QString();
        QTest::newRow("undecodable pdf") << u"broken.pdf"_s << u"%PDF-1.7 and nothing"_s << 0.0 << QString()
                                         << u"“broken.pdf” can't be read as a PDF."_s;
        QTest::newRow("folder") << u"pages"_s << u"two files"_s << 0.0 << u"^2 items$"_s << QString();
        QTest::newRow("empty folder") << u"none"_s << u"folder"_s << 0.0 << QString() << u"“none” is empty."_s;
    }

    void judgesEachNewFile()
    {
        QFETCH(QString, name);
        QFETCH(QString, maker);
        QFETCH(double, seconds);
        QFETCH(QString, facts);
        QFETCH(QString, outcome);
        QVERIFY(make(maker, path(name)));
        const RunResult result = check(option({path(name)}, seconds > 0 ? std::optional(seconds) : std::nullopt));
        if (facts.isEmpty()) {
            QVERIFY(!result.ok());
            QCOMPARE(result.error().message, outcome);
            return;
        }
        QVERIFY2(result.ok(), qPrintable(result.ok() ? QString() : result.error().message));
        QCOMPARE(result.value().checked.size(), 1);
        const CheckedOutput checked = result.value().checked.first();
        QVERIFY2(QRegularExpression(facts).match(checked.facts).hasMatch(), qPrintable(checked.facts));
        QCOMPARE(checked.warning, outcome);
    }

    // What an in-process job promised: the pages of an extraction or a merge, one picture per page, the
    // saving of a smaller copy. A copy of the user's own file is not judged by its content, which the run
    // did not make.
    void nativeJobsSayWhatToExpect_data()
    {
        QTest::addColumn<QString>("facts"); // a pattern
        QTest::addColumn<QString>("warning");
        QTest::newRow("extract") << u"^3 pages · "_s << u"Expected 2 pages, got 3."_s;
        QTest::newRow("merge short of a page") << u"^3 pages · "_s << u"Expected 4 pages, got 3."_s;
        QTest::newRow("merge whole") << u"^3 pages · "_s << QString();
        QTest::newRow("pictures short of a page") << u"^2 items$"_s << u"Expected 3 pictures, got 2."_s;
        QTest::newRow("smaller copy") << u", 75 % smaller than the original$"_s << QString();
        QTest::newRow("renamed") << u"^26 bytes$"_s << QString();
    }

    void nativeJobsSayWhatToExpect()
    {
        QFETCH(QString, facts);
        QFETCH(QString, warning);
        const QString job = QString::fromUtf8(QTest::currentDataTag());
        const QString doc = path(u"three.pdf"_s);
        const QString one = path(u"one.pdf"_s);
        QVERIFY(TestMedia::pdf(doc, 3) && TestMedia::pdf(one, 1));
        QString output = doc;
        NativeJob native = NativeJobs::PdfExtract{path(u"a.pdf"_s), {0, 1}, doc};
        if (job == u"merge short of a page"_s) {
            native = NativeJobs::PdfMerge{{doc, one}, doc};
        } else if (job == u"merge whole"_s) {
            native = NativeJobs::PdfMerge{{one, one, one}, doc};
        } else if (job == u"pictures short of a page"_s) {
            QVERIFY(make(u"two files"_s, output = path(u"three (pages)"_s)));
            native = NativeJobs::PdfImages{doc, output};
        } else if (job == u"smaller copy"_s) {
            const QString original = TestFiles::write(path(u"big.pdf"_s), QByteArray(4 * QFileInfo(doc).size(), 'x'));
            native = NativeJobs::PdfShrink{original, doc};
        } else if (job == u"renamed"_s) {
            output = TestFiles::write(path(u"holiday.jpg"_s), "a picture only by its name");
            native = NativeJobs::Move{path(u"x.jpg"_s), output};
        }
        const RunResult result = check(option({output}, std::nullopt, native));
        QVERIFY(result.ok());
        const CheckedOutput checked = result.value().checked.first();
        QVERIFY2(QRegularExpression(facts).match(checked.facts).hasMatch(), qPrintable(checked.facts));
        QCOMPARE(checked.warning, warning);
    }

    void aBadFileNamesItselfAndTheKeptOnes()
    {
        const QString good = path(u"keep.png"_s);
        const QString bad = path(u"bad.png"_s);
        const QString other = path(u"other.png"_s);
        QVERIFY(TestMedia::picture(good, 10, 10));
        QVERIFY(TestMedia::picture(other, 10, 10));
        TestFiles::write(bad, {});
        const RunResult result = check(option({good, bad, other}));
        QVERIFY(!result.ok());
        QCOMPARE(result.error().message,
                 u"“bad.png” is empty. The other new files were kept: “keep.png”, “other.png”."_s);
        QVERIFY(QFileInfo::exists(good) && QFileInfo::exists(bad) && QFileInfo::exists(other));
    }
};

TRELLICK_TEST_MAIN(TestResultCheck)
#include "tst_resultcheck.moc"
