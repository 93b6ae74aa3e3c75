#include "TableCheck.h"
#include "TestMain.h"
#include "files/Format.h"

#include <QDir>
#include <QTest>
#include <QTimeZone>
#include <limits>

using namespace Qt::StringLiterals;

class TestFormat : public QObject
{
    Q_OBJECT

private slots:
    void time_data()
    {
        QTest::addColumn<double>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << u"0:00"_s;
        QTest::newRow("negative") << -1.0 << u"0:00"_s;
        QTest::newRow("just under a half") << 0.49 << u"0:00"_s;
        QTest::newRow("half rounds up") << 0.5 << u"0:01"_s;
        QTest::newRow("59.5 s") << 59.5 << u"1:00"_s;
        QTest::newRow("under an hour") << 3599.4 << u"59:59"_s;
        QTest::newRow("3599.6 s") << 3599.6 << u"1:00:00"_s;
        QTest::newRow("3725 s") << 3725.0 << u"1:02:05"_s;
        QTest::newRow("absurd") << 1e300 << u"277777777777:46:40"_s;
    }

    void time() { checkRow<double, QString>(&Format::time); }

    void bitrate_data()
    {
        QTest::addColumn<qint64>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("below a kilobit") << qint64(999) << u"0 kbit/s"_s;
        QTest::newRow("truncated, not rounded") << qint64(128999) << u"128 kbit/s"_s;
        QTest::newRow("just under a million") << qint64(999999) << u"999 kbit/s"_s;
        QTest::newRow("one million") << qint64(1000000) << u"1.0 Mbit/s"_s;
        QTest::newRow("2.5 M") << qint64(2500000) << u"2.5 Mbit/s"_s;
    }

    void bitrate() { checkRow<qint64, QString>(&Format::bitrate); }

    void shellQuote_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty") << QString() << u"''"_s;
        QTest::newRow("safe characters") << u"scale=1280:-2"_s << u"scale=1280:-2"_s;
        QTest::newRow("all safe kinds") << u"a_Z9@%+=:,./-"_s << u"a_Z9@%+=:,./-"_s;
        QTest::newRow("space") << u"a b.mp4"_s << u"'a b.mp4'"_s;
        QTest::newRow("single quote") << u"It's"_s << u"'It'\\''s'"_s;
        QTest::newRow("dollar and backtick") << u"$(rm)`x`"_s << u"'$(rm)`x`'"_s;
        QTest::newRow("non-ASCII") << u"été"_s << u"'été'"_s;
    }

    void shellQuote() { checkRow<QString, QString>(&Format::shellQuote); }

    void dateAndTime_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("text");
        // LANG=C: Qt's own short format there is "14 Mar 2026 15:09:26". A narrow space keeps "PM" by its time.
        QTest::newRow("C") << u"C"_s << QByteArray("UTC") << u"Mar 14, 2026, 3:09\u202FPM"_s;
        QTest::newRow("British") << u"en_GB"_s << QByteArray("UTC") << u"14 Mar 2026, 15:09"_s;
        QTest::newRow("German") << u"de_DE"_s << QByteArray("UTC") << u"14. März 2026, 15:09"_s;
        QTest::newRow("Canadian French") << u"fr_CA"_s << QByteArray("UTC") << u"14 mars 2026, 15 h 09"_s;
        QTest::newRow("Japanese, in Tokyo") << u"ja_JP"_s << QByteArray("Asia/Tokyo") << u"2026年3月15日 0:09"_s;
    }

    void dateAndTime()
    {
        QFETCH(QString, locale);
        QFETCH(QByteArray, zone);
        QFETCH(QString, text);
        const QDateTime time
            = QDateTime(QDate(2026, 3, 14), QTime(15, 9, 26, 535), Qt::UTC).toTimeZone(QTimeZone(zone));
        QCOMPARE(Format::dateAndTime(time, QLocale(locale)), text);
        // The window passes no locale: the user's is taken.
        QLocale::setDefault(QLocale(locale));
        const QString byDefault = Format::dateAndTime(time);
        QLocale::setDefault(QLocale::c());
        QCOMPARE(byDefault, text);
    }

    void homeRelative_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        const QString home = QDir::homePath();
        QTest::newRow("inside the home") << home + u"/.local/share/Trellick/bin"_s << u"~/.local/share/Trellick/bin"_s;
        QTest::newRow("a name that only starts alike") << home + u"x/bin"_s << home + u"x/bin"_s;
    }

    void homeRelative() { checkRow<QString, QString>(&Format::homeRelative); }

    void todayIsIsoDateWhateverTheLocale()
    {
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
        const QString today = Format::today();
        QLocale::setDefault(QLocale::c());
        QCOMPARE(today, QDate::currentDate().toString(Qt::ISODate));
    }
};

TRELLICK_TEST_MAIN(TestFormat)
#include "tst_format.moc"
