#include "TestFiles.h"
#include "TestMain.h"
#include "store/HistoryStore.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

HistoryEntry entry(int n, std::optional<RawOption> option = std::nullopt)
{
    return HistoryEntry{QUuid::createUuid(),         QDateTime(QDate(2026, 3, 1), QTime(12, 0, n % 60), Qt::UTC),
                        u"clip %1.mp4"_s.arg(n),     u"/home/me/clip %1.mp4"_s.arg(n),
                        u"Keep from 0:10 to 0:40"_s, u"ffmpeg -i in.mp4 out.mp4"_s,
                        u"Done: clip (cut).mp4"_s,   option};
}

RawOption plan()
{
    return RawOption{u"Fast"_s,
                     u"Cuts without re-encoding."_s,
                     {u"Cuts land on key frames."_s},
                     30.0,
                     {RawStep{u"ffmpeg"_s,
                              {u"-i"_s, u"{input}"_s, u"-t"_s, u"30"_s, u"{output}"_s},
                              u"clip (cut).mp4"_s,
                              u"Cuts the clip."_s,
                              false}}};
}

// One stored entry as text, with one field replaced or removed.
QByteArray storedEntry(const QString& key = {}, const QJsonValue& value = QJsonValue::Undefined)
{
    QJsonObject object{{u"id"_s, u"0F8E2D6A-1B3C-4D5E-8F90-A1B2C3D4E5F6"_s},
                       {u"date"_s, u"2026-03-01T12:00:05Z"_s},
                       {u"fileName"_s, u"a.mp4"_s},
                       {u"inputPath"_s, u"/home/me/a.mp4"_s},
                       {u"request"_s, u"Make it smaller"_s},
                       {u"command"_s, u"ffmpeg -i a.mp4 b.mp4"_s},
                       {u"result"_s, u"Done: b.mp4"_s}};
    if (!key.isEmpty()) {
        if (value.isUndefined()) {
            object.remove(key);
        } else {
            object.insert(key, value);
        }
    }
    return QJsonDocument(QJsonArray{object}).toJson();
}

} // namespace

class TestHistoryStore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_data;

    QString path() const { return HistoryStore::filePath(); }

private slots:
    void init()
    {
        QVERIFY(m_data.isValid());
        qputenv("XDG_DATA_HOME", m_data.path().toUtf8());
        QDir(m_data.path() + u"/Trellick"_s).removeRecursively();
    }

    void fileIsCompactWithUpperCaseIdsAndWholeSecondsInUtc()
    {
        HistoryEntry e = entry(7);
        e.id = QUuid(u"{0f8e2d6a-1b3c-4d5e-8f90-a1b2c3d4e5f6}"_s);
        e.date = QDateTime(QDate(2026, 3, 1), QTime(13, 0, 7, 250), Qt::OffsetFromUTC, 3600);
        HistoryStore store;
        store.add(e);
        store.waitForWrites();
        const QByteArray bytes = TestFiles::read(path());
        QVERIFY(!bytes.contains('\n'));
        const QJsonObject stored = QJsonDocument::fromJson(bytes).array().first().toObject();
        QCOMPARE(stored.value(u"id"_s).toString(), u"0F8E2D6A-1B3C-4D5E-8F90-A1B2C3D4E5F6"_s);
        QCOMPARE(stored.value(u"date"_s).toString(), u"2026-03-01T12:00:07Z"_s);
        QVERIFY(!stored.contains(u"option"_s));
        QCOMPARE(stored.size(), 7);
    }

    void keepsTheNewestTwenty()
    {
        // A hand-made file of 25 entries loads whole and is trimmed at the next change.
        QJsonArray many;
        for (int n = 0; n < 25; ++n) {
            many.append(entry(n).toJson());
        }
        TestFiles::write(path(), QJsonDocument(many).toJson());
        HistoryStore store;
        QCOMPARE(store.entries().size(), 25);
        const HistoryEntry newest = entry(99);
        store.add(newest);
        QCOMPARE(store.entries().size(), 20);
        QCOMPARE(store.entries().first(), newest);
        QCOMPARE(store.entries().last().fileName, u"clip 18.mp4"_s);
        store.waitForWrites();
        QCOMPARE(QJsonDocument::fromJson(TestFiles::read(path())).array().size(), 20);
    }

    void unusableFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("not JSON") << QByteArray("this is not json {");
        QTest::newRow("an object, not a list") << QByteArray("{}");
        QTest::newRow("one entry without result") << storedEntry(u"result"_s);
        QTest::newRow("fractional seconds") << storedEntry(u"date"_s, u"2026-03-01T12:00:05.500Z"_s);
        QTest::newRow("date without a zone") << storedEntry(u"date"_s, u"2026-03-01T12:00:05"_s);
        QTest::newRow("id that is not a UUID") << storedEntry(u"id"_s, u"42"_s);
        QTest::newRow("option that is a list") << storedEntry(u"option"_s, QJsonArray{1});
    }

    void unusableFiles()
    {
        QFETCH(QByteArray, bytes);
        TestFiles::write(path(), bytes);
        HistoryStore store;
        QVERIFY(store.entries().isEmpty());
        QCOMPARE(TestFiles::read(path()), bytes); // untouched until something changes

        // The first write keeps the old file beside the new one instead of replacing it.
        const HistoryEntry e = entry(1);
        store.add(e);
        store.waitForWrites();
        QCOMPARE(TestFiles::read(path() + u".unreadable"_s), bytes);
        store.add(entry(2));
        store.waitForWrites();
        QCOMPARE(TestFiles::read(path() + u".unreadable"_s), bytes);
        QVERIFY(!QFile::exists(path() + u".unreadable-2"_s));
        QCOMPARE(HistoryStore().entries().size(), 2);
    }

    void anEarlierKeptFileIsNotReplaced()
    {
        TestFiles::write(path() + u".unreadable"_s, "older");
        TestFiles::write(path(), "newer");
        HistoryStore store;
        store.clear();
        store.waitForWrites();
        QCOMPARE(TestFiles::read(path() + u".unreadable"_s), QByteArray("older"));
        QCOMPARE(TestFiles::read(path() + u".unreadable-2"_s), QByteArray("newer"));
        QCOMPARE(TestFiles::read(path()), QByteArray("[]"));
    }

    void storedShapesThatLoad_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("count");
        QTest::newRow("empty list") << QByteArray("[]") << 0;
        QTest::newRow("no option") << storedEntry() << 1;
        QTest::newRow("null option") << storedEntry(u"option"_s, QJsonValue::Null) << 1;
        QTest::newRow("lower-case id") << storedEntry(u"id"_s, u"0f8e2d6a-1b3c-4d5e-8f90-a1b2c3d4e5f6"_s) << 1;
        QTest::newRow("zone offset") << storedEntry(u"date"_s, u"2026-03-01T13:00:05+01:00"_s) << 1;
    }

    void storedShapesThatLoad()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, count);
        TestFiles::write(path(), bytes);
        HistoryStore store;
        QCOMPARE(store.entries().size(), count);
        if (count) {
            QCOMPARE(store.entries().first().date, QDateTime(QDate(2026, 3, 1), QTime(12, 0, 5), Qt::UTC));
        }
        store.clear();
        store.waitForWrites();
        QVERIFY(!QFile::exists(path() + u".unreadable"_s));
    }

    void removeMatchesByIdAndAlwaysRewrites()
    {
        HistoryStore store;
        const HistoryEntry a = entry(1);
        const HistoryEntry b = entry(2);
        store.add(a);
        store.add(b);
        store.add(a);
        store.remove(a);
        QCOMPARE(store.entries(), QList<HistoryEntry>{b});
        store.waitForWrites();
        TestFiles::write(path(), "changed by hand");
        store.remove(entry(3));
        store.waitForWrites();
        QCOMPARE(QJsonDocument::fromJson(TestFiles::read(path())).array().size(), 1);
    }

    void quickChangesEndWithTheFinalList()
    {
        HistoryStore store;
        for (int n = 0; n < 60; ++n) {
            store.add(entry(n, n % 2 ? std::optional(plan()) : std::nullopt));
            if (n % 7 == 0) {
                store.remove(store.entries().last());
            }
        }
        const QList<HistoryEntry> final = store.entries();
        store.waitForWrites();
        QCOMPARE(HistoryStore().entries(), final);
        QCOMPARE(QDir(QFileInfo(path()).absolutePath()).entryList(QDir::Files), QStringList{u"history.json"_s});
    }
};

TRELLICK_TEST_MAIN(TestHistoryStore)
#include "tst_historystore.moc"
