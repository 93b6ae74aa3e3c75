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
QString hardwareMsg(const QString& arg)
{
    return msg(
        u" uses the option "_s, arg,
        u", which is not allowed because it uses the graphics hardware; only software encoders are available."_s);
}
QString filterMsg(const QString& name)
{
    return msg(u" uses the filter "_s, name, u", which is not on the list of allowed filters."_s);
}
QString optionMsg(const QString& option, const QString& filter)
{
    return msg(u" uses the option "_s, option,
               u" of the filter “"_s + filter + u"”, which is not allowed because it can read or write other files."_s);
}
QString unnamedMsg(const QString& value, const QString& filter)
{
    return msg(u" gives the filter “"_s + filter + u"” the value "_s, value,
               u" without its option's name; write each option as name=value."_s);
}
QString scratchMsg(const QString& value, const QString& filter)
{
    return msg(u" names the file "_s, value,
               u" of the filter “"_s + filter + u"”, but only a plain name such as transforms.trf is allowed there."_s);
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
    QTest::newRow("hardware decoding") << one(u"ffmpeg"_s, uR"("-hwaccel","vaapi","-i","{input}","{output}")"_s)
                                       << hardwareMsg(u"-hwaccel"_s);
    QTest::newRow("hardware device") << one(u"ffmpeg"_s, uR"("-hwaccel_device:v","1","-i","{input}","{output}")"_s)
                                     << hardwareMsg(u"-hwaccel_device:v"_s);
    QTest::newRow("hardware device made")
        << ff(uR"("-init_hw_device","vaapi=gpu")"_s) << hardwareMsg(u"-init_hw_device"_s);
    QTest::newRow("vaapi device") << ff(uR"("-vaapi_device","x")"_s) << hardwareMsg(u"-vaapi_device"_s);

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
    QTest::newRow("sofalizer") << ff(uR"("-af","sofalizer=sofa=x")"_s) << filterMsg(u"sofalizer"_s);
    QTest::newRow("dnn model") << ff(uR"("-vf","dnn_processing=model=x")"_s) << filterMsg(u"dnn_processing"_s);
    QTest::newRow("azmq") << ff(uR"("-af","azmq")"_s) << filterMsg(u"azmq"_s);
    QTest::newRow("text file") << ff(uR"("-vf","drawtext=textfile=t")"_s) << readsMsg(u"drawtext=textfile=t"_s);
    QTest::newRow("deshake log") << ff(uR"("-vf","deshake=filename=x")"_s) << readsMsg(u"deshake=filename=x"_s);

    // Allowed filters with an option that names a file.
    QTest::newRow("curves psfile") << ff(uR"("-vf","curves=psfile=x.acv")"_s) << optionMsg(u"psfile"_s, u"curves"_s);
    QTest::newRow("curves plot, spaced") << ff(uR"("-vf","curves=preset=vintage: plot =p")"_s)
                                         << optionMsg(u"plot"_s, u"curves"_s);
    QTest::newRow("curves psfile, escaped separator")
        << ff(uR"("-vf","curves=preset=vintage\\:PSFILE=x")"_s) << optionMsg(u"PSFILE"_s, u"curves"_s);
    QTest::newRow("selectivecolor psfile")
        << ff(uR"("-vf","selectivecolor=psfile=x")"_s) << optionMsg(u"psfile"_s, u"selectivecolor"_s);
    QTest::newRow("paletteuse kd-tree") << ff(uR"("-lavfi","[0:v][1:v]paletteuse=dither=bayer:debug_kdtree=k")"_s)
                                        << optionMsg(u"debug_kdtree"_s, u"paletteuse"_s);
    QTest::newRow("psnr stats") << ff(uR"("-lavfi","psnr=stats_file=x")"_s) << optionMsg(u"stats_file"_s, u"psnr"_s);
    QTest::newRow("ssim stats, short name") << ff(uR"("-lavfi","ssim=f=x")"_s) << optionMsg(u"f"_s, u"ssim"_s);
    QTest::newRow("vmafmotion stats") << ff(uR"("-vf","vmafmotion=stats_file=x")"_s)
                                      << optionMsg(u"stats_file"_s, u"vmafmotion"_s);
    QTest::newRow("firequalizer dump") << ff(uR"("-af","firequalizer=dumpfile=x")"_s)
                                       << optionMsg(u"dumpfile"_s, u"firequalizer"_s);
    QTest::newRow("showcqt axis picture")
        << ff(uR"("-lavfi","showcqt=axisfile=a")"_s) << optionMsg(u"axisfile"_s, u"showcqt"_s);
    QTest::newRow("font file by position")
        << ff(uR"("-vf","drawtext=DejaVuSans.ttf")"_s) << unnamedMsg(u"DejaVuSans.ttf"_s, u"drawtext"_s);
    QTest::newRow("text file after a named option")
        << ff(uR"("-vf","drawtext=text=hi:'t.txt'")"_s) << unnamedMsg(u"t.txt"_s, u"drawtext"_s);
    QTest::newRow("lut3d by position") << ff(uR"("-vf","scale=10:10,lut3d=x")"_s) << unnamedMsg(u"x"_s, u"lut3d"_s);
    QTest::newRow("metadata writer by position")
        << ff(uR"("-vf","metadata=print:k:v:less")"_s) << unnamedMsg(u"less"_s, u"metadata"_s);
    QTest::newRow("vidstab result in a folder")
        << ff(uR"("-vf","vidstabdetect=result=a/t.trf")"_s) << scratchMsg(u"a/t.trf"_s, u"vidstabdetect"_s);
    QTest::newRow("vidstab hidden result") << ff(uR"("-vf","vidstabtransform=input='.fonts.conf'")"_s)
                                           << scratchMsg(u".fonts.conf"_s, u"vidstabtransform"_s);
    QTest::newRow("unknown text expansion")
        << ff(uR"("-vf","drawtext=text='%{input}'")"_s) << placeholderMsg(u"drawtext=text='%{input}'"_s);
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
    QTest::newRow("zip level and more") << one(u"zip"_s, uR"("-9e","{output}","{input}")"_s, u"x.zip"_s)
                                        << msg(u" uses the zip option "_s, u"-9e"_s, u", which is not allowed."_s);
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

void PlanReplies::everydayRows()
{
    QTest::addColumn<QString>("reply");
    // An ffmpeg step reading the input and writing an output of the given type.
    const auto to = [](const QString& middle, const QString& type) {
        return ff(middle).replace(u"x.mp4"_s, u"holiday (new)."_s + type);
    };
    const auto video = [&](const QString& middle) { return to(middle, u"mp4"_s); };

    // Titles and text, with a font fontconfig picks by family.
    QTest::newRow("title") << video(
        uR"("-vf","drawtext=text='My Holiday':fontsize=64:fontcolor=white:x=(w-text_w)/2:y=(h-text_h)/2:enable='between(t,0,3)'","-c:a","copy")"_s);
    QTest::newRow("title in a box") << video(
        uR"("-vf","drawtext=font=Sans:text='Summer 2024':fontsize=48:fontcolor=white:box=1:boxcolor=black@0.5:boxborderw=10:x=(w-text_w)/2:y=h-th-40")"_s);
    QTest::newRow("title with a colon") << video(
        uR"("-vf","drawtext=text='Day 1\\: Arrival':fontsize=40:x=20:y=20")"_s);
    QTest::newRow("running time") << video(
        uR"("-vf","drawtext=text='%{pts\\:hms}':x=10:y=10:fontsize=24:fontcolor=yellow:box=1:boxcolor=black@0.4")"_s);

    // Looks and corrections, in one chain.
    QTest::newRow("corrections") << video(
        uR"("-vf","eq=brightness=0.06:contrast=1.2:saturation=1.3,hue=s=0,colorbalance=rs=0.1:gs=0.05:bs=-0.1,unsharp=5:5:1.0:5:5:0.0,smartblur=lr=1.5:ls=-0.35:lt=-3.5,delogo=x=20:y=20:w=180:h=80,perspective=x0=40:y0=20:x1=W-40:y1=0:x2=0:y2=H:x3=W:y3=H")"_s);
    QTest::newRow("colour tables") << video(
        uR"("-vf","colorchannelmixer=.393:.769:.189:0:.349:.686:.168:0:.272:.534:.131,lutrgb=r=negval:g=negval:b=negval,lutyuv=y=val*0.8,lut=a=val","-c:a","copy")"_s);
    QTest::newRow("vintage look") << video(uR"("-vf","curves=preset=vintage,vignette","-c:a","copy")"_s);
    QTest::newRow("vintage by position") << video(uR"("-vf","curves=vintage,vignette=PI/4,noise=alls=10:allf=t+u")"_s);
    QTest::newRow("green screen on blue") << video(
        uR"("-filter_complex","color=c=blue:s=1280x720[bg];[0:v]chromakey=0x00FF00:0.15:0.1[fg];[bg][fg]overlay=shortest=1[v]","-map","[v]")"_s);

    // Motion and time.
    QTest::newRow("steadier, turned, slower, backwards") << video(
        uR"("-vf","deshake,transpose=1,rotate=PI/36:fillcolor=black,setpts=2.0*PTS,reverse,tpad=stop_mode=clone:stop_duration=3","-af","atempo=0.5,areverse,apad=pad_dur=3")"_s);
    QTest::newRow("stabilise in two passes") << uR"({"steps":[
        {"program":"ffmpeg","args":["-i","{input}","-vf","vidstabdetect=shakiness=5:accuracy=15:result=transforms.trf","-an","{output}"],"output":"analysis.mp4"},
        {"program":"ffmpeg","args":["-i","{input}","-vf","vidstabtransform=input=transforms.trf:smoothing=30,unsharp=5:5:0.8:3:3:0.4","-c:a","copy","{output}"],"output":"holiday (steady).mp4"}]})"_s;
    QTest::newRow("slow zoom") << video(
        uR"("-vf","zoompan=z='min(zoom+0.0015,1.5)':d=1:x='iw/2-(iw/zoom/2)':y='ih/2-(ih/zoom/2)':s=1920x1080:fps=30")"_s);
    QTest::newRow("zoom into a photo") << to(
        uR"("-loop","1","-t","8","-vf","zoompan=z='zoom+0.001':d=240:s=1280x720,format=yuv420p")"_s, u"mp4"_s);
    QTest::newRow("twice as fast") << video(
        uR"("-filter_complex","[0:v]setpts=0.5*PTS[v];[0:a]atempo=2.0[a]","-map","[v]","-map","[a]")"_s);
    QTest::newRow("keep two parts and join them") << video(
        uR"("-filter_complex","[0:v]trim=0:5,setpts=PTS-STARTPTS[v0];[0:a]atrim=0:5,asetpts=PTS-STARTPTS[a0];[0:v]trim=10:15,setpts=PTS-STARTPTS[v1];[0:a]atrim=10:15,asetpts=PTS-STARTPTS[a1];[v0][a0][v1][a1]concat=n=2:v=1:a=1[v][a]","-map","[v]","-map","[a]")"_s);
    QTest::newRow("fade in and out") << video(
        uR"("-vf","fade=t=in:st=0:d=1,fade=t=out:st=9:d=1","-af","afade=t=in:st=0:d=1,afade=t=out:st=9:d=1")"_s);

    // Pictures and layout.
    QTest::newRow("crop to a square") << video(uR"("-vf","crop='min(iw,ih)':'min(iw,ih)'","-c:a","copy")"_s);
    QTest::newRow("square on a blurred copy") << video(
        uR"("-filter_complex","[0:v]split[a][b];[a]scale=1080:1080,boxblur=20[bg];[b]scale=1080:-2[fg];[bg][fg]overlay=(W-w)/2:(H-h)/2")"_s);
    QTest::newRow("picture in picture") << video(
        uR"("-filter_complex","[0:v]split[main][pip];[pip]scale=iw/4:-1[small];[main][small]overlay=W-w-10:H-h-10")"_s);
    QTest::newRow("gif with a palette") << to(
        uR"("-vf","fps=12,scale=480:-1:flags=lanczos,split[s0][s1];[s0]palettegen[p];[s1][p]paletteuse=dither=bayer:bayer_scale=5","-loop","0")"_s,
        u"gif"_s);
    QTest::newRow("contact sheet") << to(uR"("-vf","fps=1/10,scale=320:-1,tile=4x3","-frames:v","1")"_s, u"jpg"_s);
    QTest::newRow("smaller file") << video(
        uR"("-vf","scale=-2:720","-c:v","libx264","-crf","28","-preset","slow","-c:a","aac","-b:a","96k")"_s);

    QTest::newRow("webm with a format") << to(
        uR"("-c:v","libvpx-vp9","-b:v","0","-crf","32","-c:a","libopus","-f","webm")"_s, u"webm"_s);
    QTest::newRow("gif in two steps") << uR"({"steps":[
        {"program":"ffmpeg","args":["-i","{input}","-vf","fps=10,scale=320:-1,palettegen","{output}"],"output":"palette.png"},
        {"program":"ffmpeg","args":["-i","{input}","-i","{prev}","-lavfi","fps=10,scale=320:-1[x];[x][1:v]paletteuse","{output}"],"output":"holiday.gif"}]})"_s;

    // Sound.
    QTest::newRow("mono, even, warmer voice") << to(
        uR"("-vn","-ac","1","-af","loudnorm=I=-16:TP=-1.5:LRA=11,dynaudnorm=f=150:g=15,aecho=0.8:0.9:1000:0.3,chorus=0.7:0.9:55:0.4:0.25:2,flanger,bass=g=6,treble=g=-2,rubberband=pitch=1.12246")"_s,
        u"m4a"_s);
    QTest::newRow("stereo from one channel") << to(uR"("-vn","-af","pan=stereo|c0=c0|c1=c0")"_s, u"m4a"_s);
    QTest::newRow("swap the channels") << to(
        uR"("-filter_complex","[0:a]channelsplit=channel_layout=stereo[l][r];[r][l]amerge=inputs=2[a]","-map","[a]")"_s,
        u"wav"_s);
    QTest::newRow("mute a part") << video(uR"("-c:v","copy","-af","volume=enable='between(t,5,10)':volume=0")"_s);
    QTest::newRow("remove silence") << to(
        uR"("-af","silenceremove=start_periods=1:start_threshold=-50dB:stop_periods=-1:stop_threshold=-50dB")"_s,
        u"mp3"_s);
    QTest::newRow("soften the peaks") << to(
        uR"("-vn","-af","compand=attacks=0:decays=0.3:points=-80/-80|-45/-15|-27/-9|0/-7|20/-7:gain=5")"_s, u"m4a"_s);
    QTest::newRow("echo of its own sound") << video(
        uR"("-filter_complex","[0:a]asplit[a1][a2];[a2]adelay=500|500[d];[a1][d]amix=inputs=2:weights='1 0.4'[a]","-map","0:v","-map","[a]","-c:v","copy")"_s);
    QTest::newRow("waveform picture") << to(
        uR"("-filter_complex","showwavespic=s=1280x240:colors=#3b82f6","-frames:v","1")"_s, u"png"_s);

    // The other tools.
    QTest::newRow("zip, smallest, without folders")
        << one(u"zip"_s, uR"("-9","-j","{output}","{input}")"_s, u"holiday.zip"_s);
    QTest::newRow("zip, stored") << one(u"zip"_s, uR"("-0","-q","{output}","{input}")"_s, u"holiday.zip"_s);
    QTest::newRow("sips rotate left") << one(u"sips"_s, uR"("--rotate",-90,"{input}","-o","{output}")"_s,
                                             u"holiday (rotated).png"_s);
    QTest::newRow("picture to jpeg") << one(
        u"sips"_s, uR"("-s","format","jpeg","-s","formatOptions","80","{input}","-o","{output}")"_s, u"holiday.jpg"_s);
}
