#include "Actions.h"

#include "base/EnumNames.h"

namespace {

using namespace Qt::StringLiterals;

FileAction plain(ActionId id, const QString& title, const QString& symbol, ActionStyle style, bool multiOK)
{
    return FileAction{id, title, symbol, style, {}, {}, {}, multiOK};
}

FileAction aiAction(ActionId id, const QString& title, const QString& symbol, const QString& example,
                    const QStringList& presets, const QString& task)
{
    return FileAction{id, title, symbol, ActionStyle::ai, example, presets, task, false};
}

FileAction somethingElse(const QString& example, const QString& task)
{
    return aiAction(ActionId::somethingElse, u"Something else..."_s, u"sparkles"_s, example, {}, task);
}

} // namespace

namespace Actions {

QString rawId(ActionId id)
{
    return id == ActionId::somethingElse ? u"else"_s : EnumNames::name(id);
}

const FileAction& rename()
{
    static const FileAction a = plain(ActionId::rename, u"Rename"_s, u"pencil"_s, ActionStyle::dialog, true);
    return a;
}

const FileAction& zip()
{
    static const FileAction a = plain(ActionId::zip, u"Compress to .zip"_s, u"doc.zipper"_s, ActionStyle::direct, true);
    return a;
}

const FileAction& info()
{
    static const FileAction a = plain(ActionId::info, u"Show info"_s, u"info.circle"_s, ActionStyle::immediate, false);
    return a;
}

const FileAction& copyPath()
{
    static const FileAction a
        = plain(ActionId::copyPath, u"Copy path"_s, u"doc.on.doc"_s, ActionStyle::immediate, true);
    return a;
}

const FileAction& showInFinder()
{
    static const FileAction a
        = plain(ActionId::showInFinder, u"Show in folder"_s, u"folder"_s, ActionStyle::immediate, true);
    return a;
}

const FileAction& extract()
{
    static const FileAction a = plain(ActionId::extract, u"Extract"_s, u"archivebox"_s, ActionStyle::direct, false);
    return a;
}

const QList<FileAction>& video()
{
    static const QList<FileAction> list{
        aiAction(ActionId::trim, u"Trim or cut parts"_s, u"scissors"_s,
                 u"Keep from 2:10 to 5:30, then make it 720p mp4"_s,
                 {u"Keep from 0:10 to 0:40"_s, u"Cut out the first minute"_s, u"Cut out the last 30 seconds"_s},
                 u"Trim or cut parts of the video"_s),
        aiAction(ActionId::convertVideo, u"Convert"_s, u"arrow.triangle.2.circlepath"_s, u"Convert to mp4"_s,
                 {u"Convert to mp4"_s, u"Convert to mov"_s, u"Convert to webm"_s, u"Convert to gif"_s},
                 u"Convert the video to another format"_s),
        aiAction(ActionId::extractAudio, u"Extract audio"_s, u"waveform"_s, u"Save the sound as an mp3"_s,
                 {u"Save the sound as an mp3"_s, u"Save the sound as an m4a"_s}, u"Extract the audio track"_s),
        aiAction(ActionId::smaller, u"Make smaller"_s, u"arrow.down.right.and.arrow.up.left"_s,
                 u"Make the file much smaller"_s, {u"Make the file much smaller"_s, u"Make it about 20 MB"_s},
                 u"Reduce the file size"_s),
        aiAction(ActionId::speed, u"Change speed"_s, u"speedometer"_s, u"Make it 2x faster"_s,
                 {u"Make it 2x faster"_s, u"Make it half speed"_s}, u"Change the playback speed"_s),
        aiAction(ActionId::removeSound, u"Remove sound"_s, u"speaker.slash"_s, u"Remove the sound"_s,
                 {u"Remove the sound"_s}, u"Remove the audio track"_s),
        aiAction(ActionId::resize, u"Resize"_s, u"arrow.up.left.and.arrow.down.right"_s, u"Resize to 720p"_s,
                 {u"Resize to 720p"_s, u"Resize to 1080p"_s, u"Make it half the size"_s}, u"Change the picture size"_s),
        aiAction(ActionId::gif, u"Make a GIF"_s, u"photo.on.rectangle"_s,
                 u"Make a GIF of the first 5 seconds, 480 wide"_s, {u"Make a GIF of the first 5 seconds, 480 wide"_s},
                 u"Make an animated GIF"_s),
        somethingElse(u"Add a fade in and fade out"_s, u"Any other change to the video"_s),
    };
    return list;
}

const QList<FileAction>& audio()
{
    static const QList<FileAction> list{
        aiAction(ActionId::trim, u"Trim or cut parts"_s, u"scissors"_s, u"Keep from 0:30 to 2:00"_s,
                 {u"Keep from 0:10 to 0:40"_s, u"Cut out the first 10 seconds"_s}, u"Trim or cut parts of the audio"_s),
        plain(ActionId::convertAudio, u"Convert"_s, u"arrow.triangle.2.circlepath"_s, ActionStyle::dialog, true),
        aiAction(ActionId::volume, u"Volume"_s, u"speaker.wave.2"_s, u"Even out the volume"_s,
                 {u"Make it louder"_s, u"Make it quieter"_s, u"Even out the volume"_s},
                 u"Change or even out the volume"_s),
        aiAction(ActionId::speed, u"Change speed"_s, u"speedometer"_s, u"Make it 1.5x faster"_s,
                 {u"Make it 1.5x faster"_s, u"Make it half speed"_s}, u"Change the playback speed"_s),
        somethingElse(u"Add a two second fade out"_s, u"Any other change to the audio file"_s),
    };
    return list;
}

const QList<FileAction>& image()
{
    static const QList<FileAction> list{
        plain(ActionId::convertImage, u"Convert"_s, u"arrow.triangle.2.circlepath"_s, ActionStyle::dialog, true),
        aiAction(ActionId::resize, u"Resize"_s, u"arrow.up.left.and.arrow.down.right"_s,
                 u"Resize to 1600 pixels wide"_s, {u"Resize to 1600 pixels wide"_s, u"Make it half the size"_s},
                 u"Change the picture size"_s),
        aiAction(ActionId::smaller, u"Make smaller"_s, u"arrow.down.right.and.arrow.up.left"_s,
                 u"Make the file smaller as a jpg"_s, {u"Make the file smaller as a jpg"_s}, u"Reduce the file size"_s),
        aiAction(ActionId::stripLocation, u"Remove location data"_s, u"location.slash"_s, u"Remove location data"_s,
                 {u"Remove location data"_s}, u"Remove location and other metadata"_s),
        aiAction(ActionId::rotate, u"Rotate"_s, u"rotate.right"_s, u"Rotate 90 degrees clockwise"_s,
                 {u"Rotate 90 degrees clockwise"_s, u"Rotate 90 degrees counterclockwise"_s, u"Rotate 180 degrees"_s},
                 u"Rotate the picture"_s),
        somethingElse(u"Make it black and white"_s, u"Any other change to the picture"_s),
    };
    return list;
}

const QList<FileAction>& pdf()
{
    static const QList<FileAction> list{
        plain(ActionId::pdfExtract, u"Extract pages"_s, u"doc.badge.plus"_s, ActionStyle::dialog, false),
        plain(ActionId::pdfMerge, u"Merge"_s, u"square.stack.3d.down.right"_s, ActionStyle::dialog, true),
        plain(ActionId::pdfSmaller, u"Make smaller"_s, u"arrow.down.right.and.arrow.up.left"_s, ActionStyle::direct,
              true),
        plain(ActionId::pdfImages, u"Pages to images"_s, u"photo.stack"_s, ActionStyle::direct, true),
        somethingElse(u"Turn the first page into a jpg"_s, u"Any other change to the PDF"_s),
    };
    return list;
}

QList<FileAction> forSelection(FileKind kind, qsizetype count, const QList<QString>& files)
{
    QList<FileAction> list;
    switch (kind) {
    case FileKind::video:
        list = video();
        break;
    case FileKind::audio:
        list = audio();
        break;
    case FileKind::image:
        list = image();
        break;
    case FileKind::pdf:
        list = pdf();
        break;
    case FileKind::archive:
        if (files.size() == 1 && FileKinds::isExtractable(files.first())) {
            list = {extract()};
        }
        break;
    case FileKind::folder:
    case FileKind::other:
        break;
    }
    list << rename() << zip() << info() << copyPath() << showInFinder();
    if (count > 1) {
        list.removeIf([](const FileAction& a) { return !a.multiOK; });
    }
    return list;
}

} // namespace Actions
