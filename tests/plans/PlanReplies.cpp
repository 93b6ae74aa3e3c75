// The tables of model replies, kept apart from the test class: moc cannot read raw string literals.
#include "PlanReplies.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// One step of a reply, args given as the inside of a JSON array.
QString one(const QString& program, const QString& args, const QString& output = u"x.mp4"_s)
{
    return uR"({"steps":[{"program":")"_s + program + uR"(","args":[)"_s + args + uR"(],"output":")"_s + output
        + uR"("}]})"_s;
}

// An ffmpeg step reading the input and writing the output around the given arguments.
QString ff(const QString& middle)
{
    return one(u"ffmpeg"_s, uR"("-i","{input}",)"_s + middle + uR"(,"{output}")"_s);
}

QString msg(const QString& before, const QString& arg, const QString& after)
{
    return u"Step 1"_s + before + u"“"_s + arg + u"”"_s + after;
}
QString pathMsg(const QString& arg)
{
    return msg(u" uses "_s, arg,
               u", which points at a file or folder. Only the chosen file and the output folder may be used."_s);
}
QString netMsg(const QString& arg)
{
    return msg(u" uses "_s, arg, u", which could reach the network or other files."_s);
}
QString readsMsg(const QString& arg)
{
    return msg(u" uses "_s, arg, u", which could read other files."_s);
}
QString bannedMsg(const QString& arg)
{
    return msg(u" uses the option "_s, arg, u", which is not allowed because it can read or write other files."_s);
}
QString filterMsg(const QString& name)
{
    return msg(u" uses the filter "_s, name, u", which is not on the list of allowed filters."_s);
}
QString extraFileMsg(const QString& arg, const QString& tool = u"ffmpeg"_s)
{
    return msg(u" uses "_s, arg,
               u" where "_s + tool + u" expects a file name. Only the chosen file and the new output may be used."_s);
}
QString placeholderMsg(const QString& arg)
{
    return msg(u" uses "_s, arg, u", which is not one of the file placeholders I know."_s);
}
QString onlyAfterIMsg(const QString& arg)
{
    return msg(u" may use "_s, arg, u" only right after -i."_s);
}
const QString formatMsg = u"Step 1 uses a container format (-f) that is not on the allowed list."_s;
const QString toolsMsg = u", which is not on the list of allowed tools (ffmpeg, ffprobe, sips, afconvert, zip)."_s;

} // namespace

void PlanReplies::hostileRows()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("message");

    // Paths in every form the rules name.
    QTest::newRow("absolute path") << ff(uR"("/etc/passwd.mp4")"_s) << pathMsg(u"/etc/passwd.mp4"_s);
    QTest::newRow("home path") << ff(uR"("~/x")"_s) << pathMsg(u"~/x"_s);
    QTest::newRow("file url") << ff(uR"("file:x")"_s) << pathMsg(u"file:x"_s);
    QTest::newRow("pipe") << ff(uR"("pipe:1")"_s) << pathMsg(u"pipe:1"_s);
    QTest::newRow("parent inside") << ff(uR"("a/../b")"_s) << pathMsg(u"a/../b"_s);
    QTest::newRow("value is a path") << ff(uR"("-metadata","title=/etc")"_s) << pathMsg(u"title=/etc"_s);
    QTest::newRow("colon path") << ff(uR"("-map","0:/x")"_s) << pathMsg(u"0:/x"_s);
    QTest::newRow("quoted path in a filter") << ff(uR"("-vf","movie@x='/abs'")"_s) << pathMsg(u"movie@x='/abs'"_s);
    QTest::newRow("escaped slash") << ff(uR"("-vf","movie@x=\\/abs")"_s) << pathMsg(u"movie@x=\\/abs"_s);
    QTest::newRow("option read from a file") << ff(uR"("-vf","scale=/w=x")"_s) << pathMsg(u"scale=/w=x"_s);

    // Protocols need no "//".
    QTest::newRow("tee") << ff(uR"("tee:x|y")"_s) << netMsg(u"tee:x|y"_s);
    QTest::newRow("tcp") << ff(uR"("tcp:example.com:80")"_s) << netMsg(u"tcp:example.com:80"_s);
    QTest::newRow("upper-case scheme") << ff(uR"("SRT:host:1")"_s) << netMsg(u"SRT:host:1"_s);
    QTest::newRow("nested scheme") << ff(uR"("crypto+file:x")"_s) << netMsg(u"crypto+file:x"_s);
    QTest::newRow("subfile") << ff(uR"("subfile,,start,0,end,9,:x")"_s) << netMsg(u"subfile,,start,0,end,9,:x"_s);
    QTest::newRow("concat") << ff(uR"("concat:a|b")"_s) << netMsg(u"concat:a|b"_s);
    QTest::newRow("data") << ff(uR"("data:text/plain,x")"_s) << netMsg(u"data:text/plain,x"_s);
    QTest::newRow("ffprobe writes to a protocol")
        << one(u"ffprobe"_s, uR"("-i","{input}","-o","unix:sock","{output}")"_s) << netMsg(u"unix:sock"_s);
    QTest::newRow("afconvert reads a protocol")
        << one(u"afconvert"_s, uR"("-d","{input}","http:x","{output}")"_s, u"x.wav"_s) << netMsg(u"http:x"_s);

    // Extra outputs and misplaced placeholders.
    QTest::newRow("extra output") << ff(uR"("extra")"_s) << extraFileMsg(u"extra"_s);
    QTest::newRow("standard output") << ff(uR"("-")"_s) << extraFileMsg(u"-"_s);
    QTest::newRow("end of options") << ff(uR"("--")"_s) << extraFileMsg(u"--"_s);
    QTest::newRow("after a value-less option") << ff(uR"("-an","junk")"_s) << extraFileMsg(u"junk"_s);
    QTest::newRow("input as an output") << ff(uR"("-an","{input}")"_s) << onlyAfterIMsg(u"{input}"_s);
    QTest::newRow("-i as a value") << one(u"ffmpeg"_s, uR"("-metadata","-i","{input}","{output}")"_s)
                                   << onlyAfterIMsg(u"{input}"_s);
    QTest::newRow("output as a value") << ff(uR"("-metadata","{output}")"_s)
                                       << msg(u" may use "_s, u"{output}"_s, u" only as the output file."_s);
    QTest::newRow("ffprobe truncating the input")
        << one(u"ffprobe"_s, uR"("-i","{input}","-o","{input}","-show_entries","{output}")"_s)
        << onlyAfterIMsg(u"{input}"_s);
    QTest::newRow("ffprobe extra input") << one(u"ffprobe"_s, uR"("-i","{input}","other","{output}")"_s)
                                         << extraFileMsg(u"other"_s, u"ffprobe"_s);
    QTest::newRow("-I with another input")
        << ff(uR"("-I","x")"_s) << u"Step 1 reads an input other than the chosen file."_s;

    // Banned options in odd forms.
    QTest::newRow("upper-case -Y") << ff(uR"("-Y")"_s) << bannedMsg(u"-Y"_s);
    QTest::newRow("slash form") << ff(uR"("-/filter_complex","x")"_s) << bannedMsg(u"-/filter_complex"_s);
    QTest::newRow("x265 with specifier") << ff(uR"("-x265-params:v","a=1")"_s) << bannedMsg(u"-x265-params:v"_s);
    QTest::newRow("dump attachment") << ff(uR"("-dump_attachment:t","a")"_s) << bannedMsg(u"-dump_attachment:t"_s);
    QTest::newRow("filter script") << ff(uR"("-filter_script:v","a")"_s) << bannedMsg(u"-filter_script:v"_s);
    QTest::newRow("pass log file") << ff(uR"("-passlogfile:v","a")"_s) << bannedMsg(u"-passlogfile:v"_s);
    QTest::newRow("encoder stats") << ff(uR"("-enc_stats_pre","a")"_s) << bannedMsg(u"-enc_stats_pre"_s);
    QTest::newRow("encoder stats, later spelling")
        << ff(uR"("-stats_enc_post","a")"_s) << bannedMsg(u"-stats_enc_post"_s);
    QTest::newRow("muxer stats") << ff(uR"("-stats_mux_pre","a")"_s) << bannedMsg(u"-stats_mux_pre"_s);
    QTest::newRow("aom params") << ff(uR"("-aom-params","a=1")"_s) << bannedMsg(u"-aom-params"_s);
    QTest::newRow("vstats file") << ff(uR"("-vstats_file","a")"_s) << bannedMsg(u"-vstats_file"_s);
    QTest::newRow("progress") << ff(uR"("-progress","a")"_s) << bannedMsg(u"-progress"_s);

    // Containers.
    QTest::newRow("segment") << ff(uR"("-f","segment")"_s) << formatMsg;
    QTest::newRow("hls with specifier") << ff(uR"("-f:v","hls")"_s) << formatMsg;
    QTest::newRow("format list") << ff(uR"("-f","mp4,hls")"_s) << formatMsg;

    // File-reading filters and words.
    QTest::newRow("movie with instance") << ff(uR"("-vf","movie@x=clip")"_s) << readsMsg(u"movie@x=clip"_s);
    QTest::newRow("subtitles") << ff(uR"("-vf","subtitles=a.srt")"_s) << readsMsg(u"subtitles=a.srt"_s);
    QTest::newRow("ass") << ff(uR"("-vf","ass=a")"_s) << readsMsg(u"ass=a"_s);
    QTest::newRow("font file") << ff(uR"("-vf","drawtext=fontfile=f:text=x")"_s)
                               << readsMsg(u"drawtext=fontfile=f:text=x"_s);
    QTest::newRow("amovie in a complex graph")
        << ff(uR"("-filter_complex","[0:v]null[v];amovie=x[a]")"_s) << readsMsg(u"[0:v]null[v];amovie=x[a]"_s);
    QTest::newRow("sendcmd") << ff(uR"("-lavfi","sendcmd=c")"_s) << readsMsg(u"sendcmd=c"_s);
    QTest::newRow("file name option") << ff(uR"("-filter:v","signature=filename=x")"_s)
                                      << readsMsg(u"signature=filename=x"_s);
    QTest::newRow("quoted filter name") << ff(uR"("-vf","'mov''ie'=x")"_s) << filterMsg(u"movie"_s);
    QTest::newRow("escaped filter name") << ff(uR"("-vf","mo\\vie=x")"_s) << filterMsg(u"movie"_s);
    QTest::newRow("ladspa") << ff(uR"("-af","ladspa=plugin")"_s) << filterMsg(u"ladspa"_s);
    QTest::newRow("lv2") << ff(uR"("-af","lv2=p=x")"_s) << filterMsg(u"lv2"_s);
    QTest::newRow("frei0r") << ff(uR"("-vf","frei0r=x")"_s) << filterMsg(u"frei0r"_s);
    QTest::newRow("psnr stats") << ff(uR"("-lavfi","psnr=stats_file=x")"_s) << filterMsg(u"psnr"_s);
    QTest::newRow("vidstab") << ff(uR"("-vf","vidstabdetect=result=x")"_s) << filterMsg(u"vidstabdetect"_s);
    QTest::newRow("sofalizer") << ff(uR"("-af","sofalizer=sofa=x")"_s) << filterMsg(u"sofalizer"_s);
    QTest::newRow("lut3d") << ff(uR"("-vf","scale=10:10,lut3d=x")"_s) << filterMsg(u"lut3d"_s);
    QTest::newRow("dnn model") << ff(uR"("-vf","dnn_processing=model=x")"_s) << filterMsg(u"dnn_processing"_s);
    QTest::newRow("azmq") << ff(uR"("-af","azmq")"_s) << filterMsg(u"azmq"_s);
    QTest::newRow("metadata writer") << ff(uR"("-vf","metadata=mode=print")"_s) << filterMsg(u"metadata"_s);
    QTest::newRow("unreadable graph") << ff(uR"("-vf","scale=1:1[")"_s)
                                      << msg(u" uses the filter description "_s, u"scale=1:1["_s,
                                             u", which ffmpeg could not read."_s);

    // Placeholders inside larger strings.
    QTest::newRow("placeholder with extension") << ff(uR"("{input}.mp4")"_s) << placeholderMsg(u"{input}.mp4"_s);
    QTest::newRow("placeholder in a value") << ff(uR"("-metadata","t={output}")"_s) << placeholderMsg(u"t={output}"_s);

    // The system tools.
    QTest::newRow("sips without -o") << one(
        u"sips"_s, uR"("-s","format","png","{input}")"_s,
        u"x.png"_s) << u"Step 1: sips would change the original file. It must write to a new file with -o."_s;
    QTest::newRow("sips -o elsewhere") << one(u"sips"_s, uR"("{input}","-o","x","{output}")"_s, u"x.png"_s)
                                       << u"Step 1: sips must write to the new output file with -o."_s;
    QTest::newRow("sips unknown option") << one(u"sips"_s, uR"("--out","{input}","-o","{output}")"_s, u"x.png"_s)
                                         << msg(u" uses the sips option "_s, u"--out"_s, u", which is not allowed."_s);
    QTest::newRow("sips not a number") << one(u"sips"_s, uR"("-r","-inf","{input}","-o","{output}")"_s, u"x.png"_s)
                                       << msg(u" uses the sips option "_s, u"-inf"_s, u", which is not allowed."_s);
    QTest::newRow("afconvert unknown option")
        << one(u"afconvert"_s, uR"("-o","{input}","{output}")"_s, u"x.wav"_s)
        << msg(u" uses the afconvert option "_s, u"-o"_s, u", which is not allowed."_s);
    QTest::newRow("afconvert output first") << one(u"afconvert"_s, uR"("{output}","{input}")"_s, u"x.wav"_s)
                                            << u"Step 1: the output file must be the last argument."_s;
    QTest::newRow("zip move") << one(u"zip"_s, uR"("-m","{output}","{input}")"_s, u"x.zip"_s)
                              << msg(u" uses the zip option "_s, u"-m"_s, u", which is not allowed."_s);
    QTest::newRow("zip number holding -e") << one(u"zip"_s, uR"("-1e5","{output}","{input}")"_s, u"x.zip"_s)
                                           << msg(u" uses the zip option "_s, u"-1e5"_s, u", which is not allowed."_s);
    QTest::newRow("zip command") << one(u"zip"_s, uR"("-TT","sh","{output}","{input}")"_s, u"x.zip"_s)
                                 << msg(u" uses the zip option "_s, u"-TT"_s, u", which is not allowed."_s);
    QTest::newRow("zip the whole folder")
        << one(u"zip"_s, uR"("-r","{output}","{input}",".")"_s, u"x.zip"_s)
        << msg(u" uses "_s, u"."_s, u", which zip would add to the archive. Only the chosen file may be added."_s);
    QTest::newRow("zip into the input") << one(
        u"zip"_s, uR"("-r","{input}","{output}")"_s,
        u"x.zip"_s) << u"Step 1: zip must name the new archive “{output}” before the files it adds."_s;

    // Programs, limits and structure.
    QTest::newRow("bash") << one(u" Bash "_s, uR"("-c","x")"_s) << u"Step 1 wants to use “ Bash ”"_s + toolsMsg;
    QTest::newRow("ditto is trusted only") << one(u"ditto"_s, uR"("-x","-k","{input}","{output}")"_s, u"x.zip"_s)
                                           << u"Step 1 wants to use “ditto”"_s + toolsMsg;
    QTest::newRow("seven steps") << uR"({"steps":[{},{},{},{},{},{},{}]})"_s << u"The answer had too many steps (7)."_s;
    QTest::newRow("two hundred arguments")
        << ff(QStringList(197, u"\"-an\""_s).join(u","_s)) << u"Step 1 has too many arguments."_s;
    QTest::newRow("no arguments") << one(u"ffmpeg"_s, QString()) << u"Step 1 has no arguments."_s;
    QTest::newRow("prev in step 1") << one(u"ffmpeg"_s, uR"("-i","{prev}","{output}")"_s)
                                    << u"Step 1 uses the result of an earlier step, but there is none."_s;
    QTest::newRow("output not last") << one(u"ffmpeg"_s, uR"("-i","{input}","{output}","-an")"_s)
                                     << u"Step 1: the output file must be the last argument."_s;
    QTest::newRow("two outputs") << one(u"ffmpeg"_s, uR"("-i","{input}","{output}","{output}")"_s)
                                 << u"Step 1 must write exactly one output file."_s;
    QTest::newRow("no -i") << one(u"ffmpeg"_s, uR"("-an","{output}")"_s)
                           << u"Step 1 does not read the chosen file with -i."_s;
    QTest::newRow("-i another file") << one(u"ffmpeg"_s, uR"("-i","{output}","{output}")"_s)
                                     << u"Step 1 reads an input other than the chosen file."_s;
    QTest::newRow("zip not reading") << one(u"zip"_s, uR"("-r","{output}")"_s, u"x.zip"_s)
                                     << u"Step 1 does not read the chosen file."_s;
    QTest::newRow("output type")
        << ff(uR"("-an")"_s).replace(u"x.mp4"_s, u"notes.txt"_s)
        << u"Step 1 names its output “notes.txt”, which does not end in a file type I allow (for example mp4, mp3, jpg, png, pdf, zip)."_s;
    QTest::newRow("empty argument") << ff(uR"("")"_s) << u"Step 1 contains an empty argument."_s;
    QTest::newRow("line break") << ff(uR"("a\nb")"_s) << u"Step 1 contains a line break in an argument."_s;
    QTest::newRow("NUL") << ff(uR"("a\u0000b")"_s) << u"Step 1 contains a line break in an argument."_s;
    QTest::newRow("another file name")
        << ff(uR"("intro.mp4")"_s)
        << msg(u" uses "_s, u"intro.mp4"_s,
               u", which looks like another file name. Only the chosen file and the new output may be used."_s);
    QTest::newRow("second step")
        << uR"({"steps":[{"program":"ffmpeg","args":["-i","{input}","{output}"],"output":"a.mp4"},
                                         {"program":"ffmpeg","args":["-i","{prev}","-f","rtp","{output}"],"output":"b.mp4"}]})"_s
        << u"Step 2 uses a container format (-f) that is not on the allowed list."_s;
    QTest::newRow("option without steps")
        << uR"({"options":[{"label":"x","steps":[]}]})"_s << u"The answer had no steps."_s;
    QTest::newRow("no options") << uR"({"options":[]})"_s << u"The answer had no usable steps."_s;
}

void PlanReplies::realisticRows()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("finalName");
    // Per step, the exact arguments; @IN is the input, @PREV the previous step's output, @OUT the step's own.
    QTest::addColumn<QList<QStringList>>("args");
    const QStringList safety{u"-hide_banner"_s, u"-n"_s, u"-nostdin"_s};

    QTest::newRow("fast trim") << one(u"ffmpeg"_s, uR"("-ss",130,"-i","{input}","-t",200,"-c","copy","{output}")"_s,
                                      u"holiday (cut).mp4"_s)
                               << u"holiday (cut).mp4"_s
                               << QList<QStringList>{safety
                                                     + QStringList{u"-ss"_s, u"130"_s, u"-i"_s, u"@IN"_s, u"-t"_s,
                                                                   u"200"_s, u"-c"_s, u"copy"_s, u"@OUT"_s}};
    QTest::newRow("exact trim") << one(
        u"ffmpeg"_s,
        uR"("-ss","10","-i","{input}","-t","30","-c:v","libx264","-crf","23","-preset","veryfast","-c:a","aac","-b:a","128k","{output}")"_s,
        u"holiday (exact).mp4"_s)
                                << u"holiday (exact).mp4"_s
                                << QList<QStringList>{safety
                                                      + QStringList{u"-ss"_s, u"10"_s, u"-i"_s, u"@IN"_s, u"-t"_s,
                                                                    u"30"_s, u"-c:v"_s, u"libx264"_s, u"-crf"_s,
                                                                    u"23"_s, u"-preset"_s, u"veryfast"_s, u"-c:a"_s,
                                                                    u"aac"_s, u"-b:a"_s, u"128k"_s, u"@OUT"_s}};
    QTest::newRow("four times faster")
        << ff(uR"("-filter_complex","[0:v]setpts=PTS/4[v];[0:a]atempo=2.0,atempo=2.0[a]","-map","[v]","-map","[a]")"_s)
        << u"x.mp4"_s
        << QList<QStringList>{safety
                              + QStringList{u"-i"_s, u"@IN"_s, u"-filter_complex"_s,
                                            u"[0:v]setpts=PTS/4[v];[0:a]atempo=2.0,atempo=2.0[a]"_s, u"-map"_s,
                                            u"[v]"_s, u"-map"_s, u"[a]"_s, u"@OUT"_s}};
    QTest::newRow("remove sound") << one(u"ffmpeg"_s, uR"("-n","-i","{input}","-c:v","copy","-an","{output}")"_s,
                                         u"holiday (silent).mp4"_s)
                                  << u"holiday (silent).mp4"_s
                                  << QList<QStringList>{{u"-hide_banner"_s, u"-nostdin"_s, u"-n"_s, u"-i"_s, u"@IN"_s,
                                                         u"-c:v"_s, u"copy"_s, u"-an"_s, u"@OUT"_s}};
    QTest::newRow("gif in two steps")
        << uR"({"steps":[
            {"program":"ffmpeg","args":["-i","{input}","-vf","fps=10,scale=320:-1,palettegen","{output}"],"output":"palette.png"},
            {"program":"ffmpeg","args":["-i","{input}","-i","{prev}","-lavfi","fps=10,scale=320:-1[x];[x][1:v]paletteuse","{output}"],"output":"holiday.gif"}]})"_s
        << u"holiday.gif"_s
        << QList<QStringList>{
               safety + QStringList{u"-i"_s, u"@IN"_s, u"-vf"_s, u"fps=10,scale=320:-1,palettegen"_s, u"@OUT"_s},
               safety
                   + QStringList{u"-i"_s, u"@IN"_s, u"-i"_s, u"@PREV"_s, u"-lavfi"_s,
                                 u"fps=10,scale=320:-1[x];[x][1:v]paletteuse"_s, u"@OUT"_s}};
    QTest::newRow("title and mapping")
        << ff(uR"("-map","0:v:0","-map","0:a?","-metadata","title=Our holiday","-movflags","+faststart","-c","copy")"_s)
        << u"x.mp4"_s
        << QList<QStringList>{safety
                              + QStringList{u"-i"_s, u"@IN"_s, u"-map"_s, u"0:v:0"_s, u"-map"_s, u"0:a?"_s,
                                            u"-metadata"_s, u"title=Our holiday"_s, u"-movflags"_s, u"+faststart"_s,
                                            u"-c"_s, u"copy"_s, u"@OUT"_s}};
    QTest::newRow("webm with a format")
        << ff(uR"("-c:v","libvpx-vp9","-b:v","0","-crf","32","-c:a","libopus","-f","webm")"_s)
               .replace(u"x.mp4"_s, u"holiday.webm"_s)
        << u"holiday.webm"_s
        << QList<QStringList>{safety
                              + QStringList{u"-i"_s, u"@IN"_s, u"-c:v"_s, u"libvpx-vp9"_s, u"-b:v"_s, u"0"_s, u"-crf"_s,
                                            u"32"_s, u"-c:a"_s, u"libopus"_s, u"-f"_s, u"webm"_s, u"@OUT"_s}};
    QTest::newRow("sips resample") << one(u"sips"_s, uR"("--resampleWidth",800,"{input}","-o","{output}")"_s,
                                          u"holiday (small).jpg"_s)
                                   << u"holiday (small).jpg"_s
                                   << QList<QStringList>{
                                          {u"--resampleWidth"_s, u"800"_s, u"@IN"_s, u"-o"_s, u"@OUT"_s}};
    QTest::newRow("sips rotate left") << one(u"sips"_s, uR"("--rotate",-90,"{input}","-o","{output}")"_s,
                                             u"holiday (rotated).png"_s)
                                      << u"holiday (rotated).png"_s
                                      << QList<QStringList>{{u"--rotate"_s, u"-90"_s, u"@IN"_s, u"-o"_s, u"@OUT"_s}};
    QTest::newRow("afconvert to wave")
        << one(u"afconvert"_s, uR"("-f","WAVE","-d","LEI16","{input}","{output}")"_s, u"holiday.wav"_s)
        << u"holiday.wav"_s << QList<QStringList>{{u"-f"_s, u"WAVE"_s, u"-d"_s, u"LEI16"_s, u"@IN"_s, u"@OUT"_s}};
    QTest::newRow("zip") << one(u"zip"_s, uR"("-r","-X","{output}","{input}")"_s, u"holiday.zip"_s) << u"holiday.zip"_s
                         << QList<QStringList>{{u"-r"_s, u"-X"_s, u"@OUT"_s, u"holiday.mp4"_s}};
}
