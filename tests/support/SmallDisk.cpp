#include "SmallDisk.h"

#include <QDir>
#include <QProcess>

SmallDisk::SmallDisk(const QString& folder, int kilobytes)
    : m_folder(folder)
{
    QDir().mkpath(folder);
    QProcess mount;
    mount.start(QStringLiteral("mount"),
                {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                 QStringLiteral("size=%1k").arg(kilobytes), QStringLiteral("tmpfs"), folder});
    m_mounted = mount.waitForFinished() && mount.exitStatus() == QProcess::NormalExit && mount.exitCode() == 0;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted) {
        QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_folder});
    }
}
