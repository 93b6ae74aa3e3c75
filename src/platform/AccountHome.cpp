#include "AccountHome.h"

#include <QFile>
#include <pwd.h>
#include <unistd.h>

namespace AccountHome {

QString path()
{
    const passwd* entry = getpwuid(getuid());
    return entry ? QFile::decodeName(entry->pw_dir) : QString();
}

} // namespace AccountHome
