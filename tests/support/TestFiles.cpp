#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

namespace TestFiles {

QString write(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        qWarning("could not write %s", qPrintable(path));
    }
    return path;
}

QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool runTool(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
        return false;
    }
    return true;
}

ScopedPath::ScopedPath(const QString& folder)
    : m_folder(folder)
    , m_old(qgetenv("PATH"))
{
    qputenv("PATH", folder.toUtf8());
}

ScopedPath::~ScopedPath()
{
    qputenv("PATH", m_old);
}

bool ScopedPath::linkDebianTools() const
{
    for (const QString& tool : {u"ffmpeg"_s, u"ffprobe"_s}) {
        QFile::remove(m_folder + u'/' + tool);
        if (!QFile::link(u"/usr/bin/"_s + tool, m_folder + u'/' + tool)) {
            return false;
        }
    }
    return true;
}

bool ScopedPath::writeTools(const QByteArray& version, const QStringList& encoders) const
{
    QByteArray list = "Encoders:\\n V..... = Video\\n ------\\n";
    for (const QString& name : encoders) {
        list += " V....D " + name.toUtf8() + "  made for a test\\n";
    }
    for (const QString& tool : {u"ffmpeg"_s, u"ffprobe"_s}) {
        const QString path = write(m_folder + u'/' + tool,
                                   "#!/bin/sh\ncase \"$*\" in\n*-encoders*) printf '" + list + "' ;;\n*) echo '"
                                       + tool.toUtf8() + " version " + version + " Copyright' ;;\nesac\n");
        if (!QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
            return false;
        }
    }
    return true;
}

} // namespace TestFiles
