// A newcomer's first success, by clicks alone: drop a real file on the window, pick an action, run the
// plan, and find the new file next to the original.
#include "TestFiles.h"
#include "TestMain.h"
#include "TestServices.h"
#include "WidgetFinder.h"
#include "core/AppState.h"
#include "ui/MainWindow.h"

#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using WidgetFinder::shown;
using WidgetFinder::shownByObjectName;

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void dropZipRunAndFindTheArchive()
    {
        QTemporaryDir dir;
        const QString original = TestFiles::write(dir.filePath(u"notes.txt"_s), "Meeting at nine.\n");
        AppState state(TestServices().services);
        MainWindow window(&state);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(original)});
        QDragEnterEvent enter(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &enter);
        QDropEvent drop(window.rect().center(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&window, &drop);
        QTRY_COMPARE(state.files(), QStringList{original});

        QPushButton* zip = shown<QPushButton>(&window, u"Compress to .zip"_s);
        QVERIFY(zip);
        QTest::mouseClick(zip, Qt::LeftButton);
        QTRY_COMPARE(state.stage(), Stage::review);
        QVERIFY(shownByObjectName(&window, u"planView"_s));

        QPushButton* run = shown<QPushButton>(&window, u"Run"_s);
        QVERIFY(run);
        QTest::mouseClick(run, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(state.stage(), Stage::finished, 30'000);
        QVERIFY(shownByObjectName(&window, u"resultView"_s));

        const QStringList outputs = state.outcome()->outputs;
        QCOMPARE(outputs.size(), 1);
        QCOMPARE(QFileInfo(outputs.first()).absolutePath(), dir.path());
        QVERIFY(outputs.first().endsWith(u".zip"_s));
        QLabel* shownName = shownByObjectName<QLabel>(&window, u"outputName"_s);
        QVERIFY(shownName);
        QCOMPARE(shownName->text(), QFileInfo(outputs.first()).fileName());

        // The archive holds the file, and the original is untouched.
        QProcess unzip;
        unzip.start(u"unzip"_s, {u"-p"_s, outputs.first()});
        QVERIFY(unzip.waitForFinished(10'000));
        QCOMPARE(unzip.readAllStandardOutput(), QByteArray("Meeting at nine.\n"));
        QFile kept(original);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("Meeting at nine.\n"));
    }
};

TRELLICK_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
