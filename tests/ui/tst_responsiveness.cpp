#include "EventLoopWatch.h"
#include "TestMedia.h"
#include "core/AppState.h"
#include "ui/MainWindow.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

// Longest pass of the event loop the window may take: beyond this a user sees it freeze.
constexpr qint64 maxCpuMs = 50;
// Wall time also counts the moments other programs had the processor; this bound only catches
// blocking waits on the main thread.
constexpr qint64 maxWallMs = 250;

} // namespace

class TestResponsiveness : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void theWatchSeesABusyMainThread()
    {
        EventLoopWatch watch;
        watch.start();
        QTimer::singleShot(0, [] {
            QElapsedTimer busy;
            busy.start();
            volatile quint64 sink = 0;
            while (busy.elapsed() < 120) {
                sink = sink + 1;
            }
        });
        QTest::qWait(200);
        watch.stop();
        QVERIFY2(watch.longestWallMs() >= 100, qPrintable(QString::number(watch.longestWallMs())));
        QVERIFY2(watch.longestCpuMs() >= 60, qPrintable(QString::number(watch.longestCpuMs())));
    }

    void probingKeepsTheWindowResponsive()
    {
        const QString video = m_dir.filePath(u"clip.mp4"_s);
        const QString picture = m_dir.filePath(u"photo.jpg"_s);
        const QString pdf = m_dir.filePath(u"doc.pdf"_s);
        QVERIFY(TestMedia::videoMp4(video));
        QVERIFY(TestMedia::picture(picture, 4000, 3000));
        QVERIFY(TestMedia::pdf(pdf, 40));

        AppState state;
        MainWindow window(&state);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        EventLoopWatch watch;
        watch.start();
        for (const QString& path : {video, picture, pdf}) {
            state.handleDrop({path});
            QTRY_VERIFY_WITH_TIMEOUT(state.details() && !state.details()->facts.lines().isEmpty(), 20'000);
        }
        watch.stop();
        QVERIFY2(watch.longestCpuMs() <= maxCpuMs, qPrintable(QString::number(watch.longestCpuMs())));
        QVERIFY2(watch.longestWallMs() <= maxWallMs, qPrintable(QString::number(watch.longestWallMs())));
    }
};

QTEST_MAIN(TestResponsiveness)
#include "tst_responsiveness.moc"
