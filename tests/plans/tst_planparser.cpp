#include "TableCheck.h"
#include "TestMain.h"
#include "plans/PlanJson.h"
#include "plans/PlanParser.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString notJson = u"The answer was not JSON."_s;
const QString wrongShape = u"The answer was JSON but not in the expected shape."_s;

AIPlanResponse parsed(const QString& text)
{
    const Result<AIPlanResponse, PlanError> result = PlanParser::parse(text);
    if (!result.ok()) {
        qWarning("parse failed: %s", qPrintable(result.error().message));
        return {};
    }
    return result.value();
}

QString failure(const QString& text)
{
    const Result<AIPlanResponse, PlanError> result = PlanParser::parse(text);
    return result.ok() ? u"(parsed)"_s : result.error().message;
}

const QString trimStep
    = uR"({"program":"ffmpeg","args":["-ss","130","-i","{input}","-c","copy","{output}"],"output":"a (cut).mp4","summary":"Cuts."})"_s;

} // namespace

class TestPlanParser : public QObject
{
    Q_OBJECT

private slots:
    void refusals_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no braces") << u"I cannot help with that."_s << notJson;
        QTest::newRow("closing brace before opening") << u"} and then {"_s << notJson;
        QTest::newRow("only an opening brace") << u"{\"options\": ["_s << notJson;
        QTest::newRow("two objects") << u"{\"label\":\"a\"} {\"label\":\"b\"}"_s << wrongShape;
        QTest::newRow("braces around prose") << u"{ not json }"_s << wrongShape;
        QTest::newRow("trailing comma") << u"{\"options\":[],}"_s << wrongShape;
        QTest::newRow("raw control character in a string") << u"{\"label\":\"a\tb\"}"_s << wrongShape;
        QTest::newRow("NUL outside strings") << QString(u"{\"options\":[]\0}"_s) << wrongShape;
        QTest::newRow("unpaired surrogate escape") << u"{\"label\":\"\\ud800\"}"_s << wrongShape;
        QTest::newRow("bad escape") << u"{\"label\":\"\\x41\"}"_s << wrongShape;
        QTest::newRow("leading zero") << u"{\"result_seconds\":012}"_s << wrongShape;
        QTest::newRow("deep nesting") << u"{\"a\":"_s + u"["_s.repeated(100) + u"]"_s.repeated(100) + u"}"_s
                                      << wrongShape;
        QTest::newRow("enormous") << u"{\"label\":\""_s + u"x"_s.repeated(3 * 1024 * 1024) + u"\"}"_s << wrongShape;
        QTest::newRow("too many values") << u"{\"a\":["_s + u"0,"_s.repeated(300'000) + u"0]}"_s << wrongShape;
    }

    void refusals() { checkRow<QString, QString>(&failure); }

    void emptyOptionsAndErrors()
    {
        const AIPlanResponse empty = parsed(u"{\"options\":[]}"_s);
        QVERIFY(empty.options.isEmpty());
        QVERIFY(!empty.error);

        const AIPlanResponse refused = parsed(u"{\"error\":\"That needs a video editor.\"}"_s);
        QCOMPARE(refused.error, u"That needs a video editor."_s);
        QVERIFY(refused.options.isEmpty());

        // A wrong type for "error" is no failure, just no error.
        QVERIFY(!parsed(u"{\"error\":42}"_s).error);
        // A bare object whose steps are empty gives no option.
        QVERIFY(parsed(u"{\"label\":\"x\",\"steps\":[]}"_s).options.isEmpty());
        // An option without a label still has one.
        QCOMPARE(parsed(u"{\"options\":[{\"steps\":[{}]}]}"_s).options.value(0).label, u"Suggested"_s);
    }

    void lenientArguments_data()
    {
        QTest::addColumn<QString>("element");
        QTest::addColumn<QString>("text");
        QTest::newRow("string") << u"\"-c:v\""_s << u"-c:v"_s;
        QTest::newRow("integer") << u"130"_s << u"130"_s;
        QTest::newRow("minus zero") << u"-0"_s << u"0"_s;
        QTest::newRow("beyond double precision") << u"9007199254740993"_s << u"9007199254740993"_s;
        QTest::newRow("shortest round trip") << u"0.1"_s << u"0.1"_s;
        QTest::newRow("integral exponent") << u"1e2"_s << u"100"_s;
        QTest::newRow("true") << u"true"_s << u"true"_s;
        QTest::newRow("escaped string") << u"\"a\\u00e9\\\"b\""_s << u"aé\"b"_s;
        QTest::newRow("surrogate pair") << u"\"\\ud83c\\udfac\""_s << u"🎬"_s;
    }

    void lenientArguments()
    {
        QFETCH(QString, element);
        QFETCH(QString, text);
        const AIPlanResponse response
            = parsed(u"{\"steps\":[{\"program\":\"ffmpeg\",\"args\":[\"-ss\","_s + element + u",\"{output}\"]}]}"_s);
        QCOMPARE(response.options.size(), 1);
        QCOMPARE(response.options[0].steps[0].args, (QStringList{u"-ss"_s, text, u"{output}"_s}));
    }

    void failingPartsOfAnOption_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("null argument") << u"{\"steps\":[{\"args\":[null]}]}"_s;
        QTest::newRow("object argument") << u"{\"steps\":[{\"args\":[{}]}]}"_s;
        QTest::newRow("number too large") << u"{\"steps\":[{\"args\":[1e999]}]}"_s;
        QTest::newRow("args not an array") << u"{\"steps\":[{\"args\":\"-i {input}\"}]}"_s;
        QTest::newRow("program not a string") << u"{\"steps\":[{\"program\":1}]}"_s;
        QTest::newRow("label not a string") << u"{\"label\":1,\"steps\":[{}]}"_s;
        QTest::newRow("steps not an array") << u"{\"steps\":{}}"_s;
        QTest::newRow("step not an object") << u"{\"steps\":[\"ffmpeg\"]}"_s;
    }

    // A failing option fails the whole "options" array; the top level is then tried as one option.
    void failingPartsOfAnOption()
    {
        QFETCH(QString, option);
        const QString good = u"{\"label\":\"Good\",\"steps\":["_s + trimStep + u"]}"_s;
        QVERIFY(parsed(u"{\"options\":["_s + good + u","_s + option + u"]}"_s).options.isEmpty());
        const AIPlanResponse fallback
            = parsed(u"{\"options\":["_s + option + u"],\"label\":\"Top\",\"steps\":["_s + trimStep + u"]}"_s);
        QCOMPARE(fallback.options.size(), 1);
        QCOMPARE(fallback.options[0].label, u"Top"_s);
    }

    void resultSeconds_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<double>("seconds"); // negative: absent
        QTest::newRow("fraction") << u"12.5"_s << 12.5;
        QTest::newRow("string") << u"\"330\""_s << -1.0;
        QTest::newRow("null") << u"null"_s << -1.0;
        QTest::newRow("object") << u"{}"_s << -1.0;
        QTest::newRow("out of range") << u"1e999"_s << -1.0;
    }

    void resultSeconds()
    {
        QFETCH(QString, value);
        QFETCH(double, seconds);
        const AIPlanResponse response
            = parsed(u"{\"result_seconds\":"_s + value + u",\"steps\":["_s + trimStep + u"]}"_s);
        QCOMPARE(response.options.size(), 1);
        QCOMPARE(response.options[0].resultSeconds.value_or(-1.0), seconds);
    }

    void duplicateKeysTakeTheLast()
    {
        const AIPlanResponse response = parsed(u"{\"label\":\"A\",\"label\":\"B\",\"steps\":["_s + trimStep + u"]}"_s);
        QCOMPARE(response.options[0].label, u"B"_s);
    }

    void encodingForHistoryRoundTrips()
    {
        RawOption option{u"Fast"_s, u"Cuts it."_s, {u"May be a second off."_s}, 200.0, {}};
        option.steps << RawStep{
            u"ffmpeg"_s, {u"-ss"_s, u"130"_s, u"-i"_s, u"{input}"_s, u"{output}"_s}, u"a.mp4"_s, u"Cuts."_s, true};
        const QJsonObject object = PlanJson::encode(option);
        QCOMPARE(object.keys(),
                 (QStringList{u"label"_s, u"result_seconds"_s, u"steps"_s, u"summary"_s, u"warnings"_s}));
        QVERIFY(!object[u"steps"_s].toArray()[0].toObject().contains(u"isFolder"_s));
        // The arguments are stored as strings, so "130" stays "130".
        QCOMPARE(object[u"steps"_s].toArray()[0].toObject()[u"args"_s].toArray()[1], QJsonValue(u"130"_s));

        const std::optional<RawOption> back = PlanJson::decodeOption(QJsonDocument(object).toJson());
        QVERIFY(back);
        RawOption expected = option;
        expected.steps[0].isFolder = false; // never stored
        QCOMPARE(*back, expected);

        option.resultSeconds.reset();
        QVERIFY(!PlanJson::encode(option).contains(u"result_seconds"_s));
    }
};

TRELLICK_TEST_MAIN(TestPlanParser)
#include "tst_planparser.moc"
