#include "TestMain.h"
#include "core/TaskSlot.h"

class TestTaskSlot : public QObject
{
    Q_OBJECT

private slots:
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

TRELLICK_TEST_MAIN(TestTaskSlot)
#include "tst_taskslot.moc"
