// clang-format off
// libvips pulls in GLib, whose headers use Qt's keyword "signals" as a name: they come first.
#include <vips/vips8>
// clang-format on

#include "StandIns.h"
#include "TestFiles.h"
#include "TestMain.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestSips : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_marker; // 300x200, black, with a white 20x20 square in the top left corner
    QString m_gps; // a JPEG whose EXIF holds a camera make and a position

    QString at(const QString& name) const { return m_dir.filePath(name); }

    static QString header(const QString& path, const QString& field)
    {
        return StandIns::output(u"vipsheader"_s, {u"-f"_s, field, path});
    }

    // The corner the white square ended up in, or an empty text when it is in none. Read with Qt's own
    // decoders, independent of libvips.
    static QString markedCorner(const QImage& picture)
    {
        const int w = picture.width();
        const int h = picture.height();
        const QList<std::tuple<QString, int, int>> corners = {{u"top left"_s, 2, 2},
                                                              {u"top right"_s, w - 3, 2},
                                                              {u"bottom left"_s, 2, h - 3},
                                                              {u"bottom right"_s, w - 3, h - 3}};
        for (const auto& [name, x, y] : corners) {
            if (qGray(picture.pixel(x, y)) > 128) {
                return name;
            }
        }
        return {};
    }

    // Runs sips with "{input}" and "{output}" replaced, the way the application runs it.
    ProcResult sips(const QStringList& args, const QString& input, const QString& output) const
    {
        QStringList final;
        for (const QString& arg : args) {
            final << (arg == u"{input}"_s ? input : arg == u"{output}"_s ? output : arg);
        }
        return StandIns::run(u"sips"_s, final);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_marker = at(u"marker.png"_s);
        QVERIFY(TestFiles::runTool(u"convert-im6.q16"_s,
                                   {u"-size"_s, u"300x200"_s, u"xc:black"_s, u"-fill"_s, u"white"_s, u"-draw"_s,
                                    u"rectangle 0,0 19,19"_s, u"-type"_s, u"TrueColor"_s, u"PNG24:"_s + m_marker}));
        QCOMPARE(header(m_marker, u"bands"_s), u"3"_s);

        QVERIFY(VIPS_INIT("tst_sips") == 0);
        vips::VImage picture = vips::VImage::new_from_file(m_marker.toUtf8().constData()).copy();
        picture.set("exif-ifd0-Make", "TestMaker");
        picture.set("exif-ifd3-GPSLatitudeRef", "N");
        picture.set("exif-ifd3-GPSLatitude", "51/1 30/1 0/1");
        m_gps = at(u"gps.jpg"_s);
        picture.jpegsave(m_gps.toUtf8().constData());
        QCOMPARE(StandIns::output(u"identify"_s, {u"-format"_s, u"%[EXIF:GPSLatitude]"_s, m_gps}),
                 u"51/1, 30/1, 0/1"_s);
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("words");
        QTest::newRow("no -o, so it would change the original")
            << QStringList{u"-s"_s, u"format"_s, u"png"_s, u"{input}"_s} << u"never changes the original"_s;
        QTest::newRow("unknown option") << QStringList{u"--zap"_s, u"{input}"_s, u"-o"_s, u"{output}"_s}
                                        << u"Unrecognized option “--zap”"_s;
        QTest::newRow("webp") << QStringList{u"-s"_s, u"format"_s, u"webp"_s, u"{input}"_s, u"-o"_s, u"{output}"_s}
                              << u"cannot write WebP"_s;
        QTest::newRow("other property") << QStringList{u"-s"_s,      u"dpiWidth"_s, u"72"_s,
                                                       u"{input}"_s, u"-o"_s,       u"{output}"_s}
                                        << u"cannot be set"_s;
        QTest::newRow("missing value") << QStringList{u"{input}"_s, u"-o"_s, u"{output}"_s, u"-Z"_s}
                                       << u"needs a value"_s;
        QTest::newRow("size not a number")
            << QStringList{u"-Z"_s, u"big"_s, u"{input}"_s, u"-o"_s, u"{output}"_s} << u"needs a number"_s;
        QTest::newRow("zero size") << QStringList{u"-z"_s, u"0"_s, u"10"_s, u"{input}"_s, u"-o"_s, u"{output}"_s}
                                   << u"from 1 to 65500"_s;
        QTest::newRow("bad pad colour") << QStringList{u"-p"_s,  u"9"_s,       u"9"_s,  u"--padColor"_s,
                                                       u"red"_s, u"{input}"_s, u"-o"_s, u"{output}"_s}
                                        << u"hexadecimal"_s;
        QTest::newRow("output exists") << QStringList{u"{input}"_s, u"-o"_s, u"{input}"_s} << u"already exists"_s;
        QTest::newRow("missing input") << QStringList{u"nowhere.png"_s, u"-o"_s, u"{output}"_s} << u"No such file"_s;
        const QString junk = TestFiles::write(at(u"notes.jpg"_s), "just text");
        QTest::newRow("not a picture") << QStringList{u"-s"_s, u"format"_s, u"png"_s, junk, u"-o"_s, u"{output}"_s}
                                       << u"Invalid data found in “"_s;
    }

    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, words);
        const QByteArray before = TestFiles::read(m_marker);
        const QString output = at(u"refused.png"_s);
        const ProcResult r = sips(args, m_marker, output);
        QVERIFY2(StandIns::refused(r, u"Error: "_s, words), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(output));
        QCOMPARE(TestFiles::read(m_marker), before);
    }

    // Pictures whose right half is transparent, converted to every format: those without transparency
    // get it laid on white, the others keep it.
    void keepsOrFlattensTransparency_data()
    {
        QTest::addColumn<QString>("kind"); // how ImageMagick writes the PNG
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("bands");
        // The kind, its colour bands, and what the input must be.
        const QList<std::tuple<QString, int, QString>> kinds{{u"PNG32"_s, 3, u"bands"_s},
                                                             {u"grey"_s, 1, u"bands"_s},
                                                             {u"PNG64"_s, 3, u"format"_s},
                                                             {u"PNG8"_s, 3, u"palette-bit-depth"_s}};
        for (const auto& [kind, colour, field] : kinds) {
            const QByteArray name = kind.toLatin1();
            QTest::addRow("%s to jpeg", name.constData()) << kind << u"jpeg"_s << colour;
            QTest::addRow("%s to bmp", name.constData()) << kind << u"bmp"_s << 3;
            QTest::addRow("%s to png", name.constData()) << kind << u"png"_s << colour + 1;
            QTest::addRow("%s to tiff", name.constData()) << kind << u"tiff"_s << colour + 1;
            QTest::addRow("%s to gif", name.constData()) << kind << u"gif"_s << 4;
            QTest::addRow("%s to heic", name.constData()) << kind << u"heic"_s << 4;
        }
    }

    void keepsOrFlattensTransparency()
    {
        QFETCH(QString, kind);
        QFETCH(QString, format);
        QFETCH(int, bands);
        const QString input = at(u"clear-"_s + kind + u".png"_s);
        if (!QFileInfo::exists(input)) {
            const bool grey = kind == u"grey"_s;
            QVERIFY(TestFiles::runTool(u"convert-im6.q16"_s,
                                       {u"-size"_s, u"64x48"_s, u"xc:none"_s, u"-fill"_s, grey ? u"gray50"_s : u"red"_s,
                                        u"-draw"_s, u"rectangle 0,0 31,47"_s, u"-type"_s,
                                        grey ? u"GrayscaleAlpha"_s : u"TrueColorAlpha"_s,
                                        (grey ? u"PNG"_s : kind) + u":"_s + input}));
            // What each kind stands for: grey with alpha, 16 bits per sample, a palette.
            QCOMPARE(header(input, u"bands"_s), grey ? u"2"_s : u"4"_s);
            QCOMPARE(header(input, u"format"_s).contains(u"USHORT"_s), kind == u"PNG64"_s);
            QCOMPARE(header(input, u"palette-bit-depth"_s) == u"8"_s, kind == u"PNG8"_s);
        }
        // The picture-format dialog's command, exactly as the application builds it.
        const QString output = at(u"converted-"_s + kind + u"."_s + format);
        const QByteArray before = TestFiles::read(input);
        const ProcResult r = sips({u"-s"_s, u"format"_s, format, u"{input}"_s, u"-o"_s, u"{output}"_s}, input, output);
        QCOMPARE(r.err, QString());
        QCOMPARE(r.out, input + u"\n  "_s + output + u"\n"_s);
        QCOMPARE(TestFiles::read(input), before);
        QVERIFY(QDir(m_dir.path()).entryList({u".*.part"_s}, QDir::Hidden | QDir::Files).isEmpty());
        QCOMPARE(header(output, u"width"_s) + u'x' + header(output, u"height"_s), u"64x48"_s);
        if (format != u"bmp"_s) { // read by ImageMagick, not by a loader of libvips' own
            QVERIFY(header(output, u"vips-loader"_s).startsWith(format.left(3)));
        }
        QCOMPARE(header(output, u"bands"_s).toInt(), bands);
        const std::vector<double> clear = vips::VImage::new_from_file(output.toUtf8().constData()).getpoint(50, 10);
        if (bands == 2 || bands == 4) {
            QCOMPARE(clear.back(), 0.0);
        } else {
            for (const double sample : clear) {
                QCOMPARE(sample, 255.0);
            }
        }
    }

    void changesTheGeometry_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("corner"); // where the white square went, or the pad colour

        QTest::newRow("-Z") << QStringList{u"-Z"_s, u"150"_s} << 150 << 100 << u"top left"_s;
        QTest::newRow("-Z enlarges") << QStringList{u"--resampleHeightWidthMax"_s, u"600"_s} << 600 << 400
                                     << u"top left"_s;
        QTest::newRow("-z height then width") << QStringList{u"-z"_s, u"50"_s, u"80"_s} << 80 << 50 << u"top left"_s;
        QTest::newRow("--resampleHeightWidth")
            << QStringList{u"--resampleHeightWidth"_s, u"210"_s, u"100"_s} << 100 << 210 << u"top left"_s;
        QTest::newRow("--resampleWidth") << QStringList{u"--resampleWidth"_s, u"60"_s} << 60 << 40 << u"top left"_s;
        QTest::newRow("rotate 90 is clockwise") << QStringList{u"-r"_s, u"90"_s} << 200 << 300 << u"top right"_s;
        QTest::newRow("rotate -90") << QStringList{u"--rotate"_s, u"-90"_s} << 200 << 300 << u"bottom left"_s;
        QTest::newRow("rotate 450") << QStringList{u"-r"_s, u"450"_s} << 200 << 300 << u"top right"_s;
        QTest::newRow("flip horizontal") << QStringList{u"-f"_s, u"horizontal"_s} << 300 << 200 << u"top right"_s;
        QTest::newRow("crop keeps the middle") << QStringList{u"-c"_s, u"100"_s, u"120"_s} << 120 << 100 << QString();
        QTest::newRow("crop from an offset")
            << QStringList{u"--cropToHeightWidth"_s, u"100"_s, u"120"_s, u"--cropOffset"_s, u"0"_s, u"0"_s} << 120
            << 100 << u"top left"_s;
        QTest::newRow("pad centres") << QStringList{u"-p"_s, u"400"_s, u"500"_s, u"--padColor"_s, u"000000"_s} << 500
                                     << 400 << QString();
        QTest::newRow("steps in the order given")
            << QStringList{u"-r"_s, u"90"_s, u"-Z"_s, u"100"_s} << 67 << 100 << u"top right"_s;
        // The pad colour fills the new margin, and the corners an odd angle turns out.
        QTest::newRow("pad colour") << QStringList{u"-p"_s, u"240"_s, u"320"_s, u"--padColor"_s, u"FF0000"_s} << 320
                                    << 240 << u"#ff0000"_s;
        QTest::newRow("any angle") << QStringList{u"-r"_s, u"30"_s, u"--padColor"_s, u"00FF00"_s} << 360 << 323
                                   << u"#00ff00"_s;
    }

    void changesTheGeometry()
    {
        QFETCH(QStringList, options);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, corner);
        const QString output
            = at(u"geometry-%1.png"_s.arg(QString::fromLatin1(QTest::currentDataTag())).replace(u' ', u'-'));
        const ProcResult r = sips(options + QStringList{u"{input}"_s, u"-o"_s, u"{output}"_s}, m_marker, output);
        QCOMPARE(r.err, QString());
        const QImage picture(output);
        QVERIFY2(qAbs(picture.width() - width) <= 1 && qAbs(picture.height() - height) <= 1,
                 qPrintable(u"%1x%2"_s.arg(picture.width()).arg(picture.height())));
        QCOMPARE(corner.startsWith(u'#') ? picture.pixelColor(1, 1).name() : markedCorner(picture), corner);
    }

    void deletesMetadata_data()
    {
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("extension");
        QTest::newRow("location from a jpeg") << u"location"_s << u"jpg"_s;
        QTest::newRow("location from a heic") << u"location"_s << u"heic"_s;
        QTest::newRow("all") << u"all"_s << u"jpg"_s;
    }

    void deletesMetadata()
    {
        QFETCH(QString, property);
        QFETCH(QString, extension);
        const QString output = at(u"no-"_s + property + u"."_s + extension);
        // The short and the long name of the option.
        const QString option = property == u"all"_s ? u"--deleteProperty"_s : u"-d"_s;
        const ProcResult r = sips({option, property, u"{input}"_s, u"-o"_s, u"{output}"_s}, m_gps, output);
        QCOMPARE(r.err, QString());
        const QString fields = StandIns::output(u"vipsheader"_s, {u"-a"_s, output});
        QVERIFY2(!fields.contains(u"GPS"_s), qPrintable(fields));
        // The camera stays unless everything goes; then only the technical block the JPEG writer always adds
        // (resolution, orientation) is left.
        QCOMPARE(fields.contains(u"exif-ifd0-Make: TestMaker"_s), property == u"location"_s);
        QVERIFY(property == u"location"_s || fields.contains(u"exif-ifd0-Orientation"_s));
        if (extension == u"jpg"_s) {
            QCOMPARE(StandIns::output(u"identify"_s, {u"-format"_s, u"%[EXIF:GPSLatitude]"_s, output}), QString());
        }
    }
};

TRELLICK_TEST_MAIN(TestSips)
#include "tst_sips.moc"
