#include "TestMain.h"
#include "TestServices.h"
#include "core/AppState.h"
#include "core/TaskSlot.h"
#include "files/Actions.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

ReviewState someReview()
{
    ResolvedOption option;
    option.id = QUuid::createUuid();
    option.label = u"Fast"_s;
    return ReviewState{{option, option}, 0, u"Keep from 0:10 to 0:40"_s, u"Trim or cut parts"_s, {}, false, true, 0,
                       std::nullopt};
}

} // namespace

class TestAppState : public QObject
{
    Q_OBJECT

private slots:
    void cancelThinkingReturnsToTheRequestOrIdle()
    {
        AppState s(TestServices().services);
        s.setStage(Stage::thinking);
        s.cancelThinking(); // nothing in the slot: still moves on
        QCOMPARE(s.stage(), Stage::idle);

        s.setCurrentAction(Actions::video().first());
        s.setStage(Stage::thinking);
        bool cancelled = false;
        const TaskSlot::Id id = s.task().start([&] { cancelled = true; });
        s.cancelThinking();
        QCOMPARE(s.stage(), Stage::asking);
        QVERIFY(cancelled);
        QVERIFY(!s.task().isCurrent(id)); // its late answer is dropped
    }

    void changeRequestKeepsTheText()
    {
        AppState s(TestServices().services);
        s.setCurrentAction(Actions::video().first());
        s.setRequestText(u"Keep from 0:10 to 0:40"_s);
        s.setReview(someReview());
        s.setStage(Stage::review);
        s.changeRequest();
        QCOMPARE(s.stage(), Stage::asking);
        QVERIFY(!s.review());
        QCOMPARE(s.requestText(), u"Keep from 0:10 to 0:40"_s);

        s.setCurrentAction(std::nullopt);
        s.setReview(someReview());
        s.changeRequest();
        QCOMPARE(s.stage(), Stage::idle);
    }

    void cancelPlanKeepsTheFiles()
    {
        AppState s(TestServices().services);
        s.setFiles({u"/tmp/a.mp4"_s});
        s.setKind(FileKind::video);
        FileDetails details;
        details.name = u"a.mp4"_s;
        s.setDetails(details);
        s.setRequestText(u"Make it 2x faster"_s);
        s.setCurrentAction(Actions::video().at(4));
        s.setReview(someReview());
        s.setOutcome(RunOutcome{{u"/tmp/a (fast).mp4"_s}, {}});
        s.setStage(Stage::finished);

        s.cancelPlan();
        QCOMPARE(s.stage(), Stage::idle);
        QVERIFY(!s.review());
        QVERIFY(!s.outcome());
        QVERIFY(!s.currentAction());
        QCOMPARE(s.files(), QStringList{u"/tmp/a.mp4"_s});
        QCOMPARE(s.kind(), FileKind::video);
        QCOMPARE(s.details()->name, u"a.mp4"_s);
        QCOMPARE(s.requestText(), u"Make it 2x faster"_s);
    }

    void backFromFailure_data()
    {
        QTest::addColumn<Stage>("back");
        QTest::addColumn<bool>("hasReview");
        QTest::addColumn<bool>("hasAction");
        QTest::addColumn<Stage>("expected");
        QTest::newRow("to the plan") << Stage::review << true << false << Stage::review;
        QTest::newRow("plan gone") << Stage::review << false << true << Stage::idle;
        QTest::newRow("to the request") << Stage::asking << false << true << Stage::asking;
        QTest::newRow("action cleared") << Stage::asking << true << false << Stage::idle;
        QTest::newRow("to idle") << Stage::idle << true << true << Stage::idle;
    }

    void backFromFailure()
    {
        QFETCH(Stage, back);
        QFETCH(bool, hasReview);
        QFETCH(bool, hasAction);
        QFETCH(Stage, expected);
        AppState s(TestServices().services);
        if (hasReview) {
            s.setReview(someReview());
        }
        if (hasAction) {
            s.setCurrentAction(Actions::audio().first());
        }
        s.setFailureBack(back);
        s.fail(u"x"_s, {});
        s.backFromFailure();
        QCOMPARE(s.stage(), expected);
    }

    void selectOptionStaysInRange()
    {
        AppState s(TestServices().services);
        s.selectOption(1); // no review: nothing happens
        QVERIFY(!s.review());
        s.setReview(someReview());
        s.selectOption(1);
        QCOMPARE(s.review()->selected, 1);
        s.selectOption(2);
        s.selectOption(-1);
        QCOMPARE(s.review()->selected, 1);
    }

    // The slot that holds the one task AppState waits for.
    void startingATaskCancelsTheOneBefore()
    {
        TaskSlot slot;
        int cancels = 0;
        const auto first = slot.start([&] { ++cancels; });
        const auto second = slot.start();
        QCOMPARE(cancels, 1);
        QVERIFY(!slot.isCurrent(first));
        QVERIFY(slot.isCurrent(second));
        slot.finish(first); // a stale finish does not empty the slot
        QVERIFY(slot.isCurrent(second));
    }

    void finishedTaskIsNotCancelledLater()
    {
        TaskSlot slot;
        int cancels = 0;
        const auto id = slot.start([&] { ++cancels; });
        slot.finish(id);
        QVERIFY(slot.isEmpty());
        slot.cancel();
        QCOMPARE(cancels, 0);
    }

    void cancelHandlerMayStartANewTask()
    {
        TaskSlot slot;
        TaskSlot::Id restarted = 0;
        slot.start([&] { restarted = slot.start(); });
        slot.cancel();
        QVERIFY(slot.isCurrent(restarted));
        QVERIFY(!slot.isCurrent(0));
    }
};

TRELLICK_TEST_MAIN(TestAppState)
#include "tst_appstate.moc"
