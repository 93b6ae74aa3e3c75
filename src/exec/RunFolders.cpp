#include "RunFolders.h"

#include "NoReplace.h"
#include "plans/NameReserver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUuid>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString recordName = u"staging"_s;
const QByteArray makingPrefix = ".trellick-making-";

// A folder of this user's, opened without following a link and locked; -1 when it is not one or when a
// live run holds its lock.
int lockedFolder(const QByteArray& path, bool wait)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return -1;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0 || info.st_uid != ::geteuid() || ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Makes `path` as a new, locked folder: made under a name no cleaner looks at and renamed into place with
// its lock already held, so that a start in between never takes it for a dead run's. -1 when `path`
// already exists or cannot be made.
int makeLockedFolder(const QString& path)
{
    const QFileInfo info(path);
    QDir().mkpath(info.absolutePath());
    QByteArray temp = QFile::encodeName(info.absolutePath()) + '/' + makingPrefix + "XXXXXX";
    if (::mkdtemp(temp.data()) == nullptr) {
        return -1;
    }
    const int fd = lockedFolder(temp, true);
    if (fd < 0
        || ::renameat2(AT_FDCWD, temp.constData(), AT_FDCWD, QFile::encodeName(path).constData(), RENAME_NOREPLACE)
            != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        ::rmdir(temp.constData());
        return -1;
    }
    return fd;
}

// The parts NameReserver numbers: "holiday (cut)" and "mp4"; a folder has no extension.
std::pair<QString, QString> splitName(const QString& name, bool isFolder)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (isFolder || dot <= 0) {
        return {name, {}};
    }
    return {name.first(dot), name.mid(dot + 1)};
}

// Renames without replacing; on a file system that cannot promise that, a file is linked and unlinked
// (which never replaces either) and a folder renamed after a last check.
int renameNoReplace(const QByteArray& from, const QByteArray& to, bool isFolder)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    if (!isFolder) {
        if (::link(from.constData(), to.constData()) != 0) {
            return errno;
        }
        ::unlink(from.constData());
        return 0;
    }
    struct stat info
    {
    };
    if (::lstat(to.constData(), &info) == 0) {
        return EEXIST;
    }
    return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

} // namespace

RunFolders::RunFolders(const QString& scratchDir, const QString& tempRoot, QObject* parent)
    : QObject(parent)
    , m_id(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper())
{
    if (!scratchDir.isEmpty()) {
        m_lockFd = makeLockedFolder(scratchDir);
        m_ownsScratch = m_lockFd >= 0;
        m_lockDir = m_ownsScratch ? scratchDir : QString();
    }
    if (!m_ownsScratch) {
        const QString own = tempRoot + u"/Trellick-"_s + m_id;
        m_lockFd = makeLockedFolder(own);
        m_lockDir = m_lockFd >= 0 ? own : QString();
    }
}

RunFolders::~RunFolders()
{
    for (const int fd : std::as_const(m_stagingFds)) {
        ::close(fd);
    }
    if (m_lockFd >= 0) {
        ::close(m_lockFd);
    }
}

Result<QString, PlanError> RunFolders::stagingIn(const QString& folder)
{
    if (const auto found = m_staging.constFind(folder); found != m_staging.cend()) {
        return *found;
    }
    const QString staging = folder + u"/.trellick-"_s + m_id;
    const QByteArray encoded = QFile::encodeName(staging);
    // Recorded before it exists, so that no staging folder of a run that dies is ever unknown.
    if (!m_lockDir.isEmpty()) {
        QFile record(m_lockDir + u'/' + recordName);
        if (!record.open(QIODevice::Append) || record.write(encoded + '\0') != encoded.size() + 1 || !record.flush()) {
            return PlanError{record.errorString()};
        }
    }
    if (::mkdir(encoded.constData(), 0700) != 0) {
        return PlanError{qt_error_string(errno)};
    }
    const int fd = lockedFolder(encoded, true);
    if (fd >= 0) {
        m_stagingFds << fd;
    }
    m_staging.insert(folder, staging);
    return staging;
}

Result<QString, PlanError> RunFolders::stage(const QString& finalPath)
{
    const QFileInfo info(finalPath);
    const Result<QString, PlanError> staging = stagingIn(info.absolutePath());
    if (!staging.ok()) {
        return staging;
    }
    const QString staged = staging.value() + u'/' + info.fileName();
    m_finals.insert(staged, finalPath);
    return staged;
}

QString RunFolders::stagingOf(const QString& path) const
{
    return m_finals.contains(path) ? QFileInfo(path).absolutePath() : QString();
}

Result<QString, PlanError> RunFolders::publish(const QString& staged, const QString& finalPath)
{
    const QFileInfo target(finalPath);
    const bool isFolder = QFileInfo(staged).isDir();
    const auto [base, ext] = splitName(target.fileName(), isFolder);
    const QByteArray from = QFile::encodeName(staged);
    NameReserver reserver;
    QString name = finalPath;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const int error = renameNoReplace(from, QFile::encodeName(name), isFolder);
        if (error == 0) {
            return name;
        }
        if (error != EEXIST && error != ENOTEMPTY) {
            return PlanError{qt_error_string(error)};
        }
        // Taken while the run went on: whatever is there now is someone else's.
        name = reserver.unique(base, ext, target.absolutePath());
    }
    return PlanError{qt_error_string(EEXIST)};
}

void RunFolders::removeAll()
{
    for (const QString& staging : std::as_const(m_staging)) {
        NoReplace::removeTree(staging);
    }
    m_staging.clear();
    if (!m_lockDir.isEmpty() && !m_ownsScratch) {
        NoReplace::removeTree(m_lockDir);
    }
}

int RunFolders::removeLeftovers(const QString& tempRoot)
{
    int removed = 0;
    const QStringList names = QDir(tempRoot).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    for (const QString& name : names) {
        const bool making = name.startsWith(QString::fromLatin1(makingPrefix));
        if (!isScratchName(name) && !making) {
            continue;
        }
        const QString scratch = tempRoot + u'/' + name;
        const int fd = lockedFolder(QFile::encodeName(scratch), false);
        if (fd < 0) {
            continue;
        }
        QFile record(scratch + u'/' + recordName);
        if (record.open(QIODevice::ReadOnly)) {
            for (const QByteArray& entry : record.readAll().split('\0')) {
                const QString staging = QFile::decodeName(entry);
                if (!isStagingName(QFileInfo(staging).fileName())) {
                    continue;
                }
                const int stagingFd = lockedFolder(entry, false);
                if (stagingFd >= 0) {
                    removed += NoReplace::removeTree(staging) ? 1 : 0;
                    ::close(stagingFd);
                }
            }
        }
        removed += NoReplace::removeTree(scratch) ? 1 : 0;
        ::close(fd);
    }
    return removed;
}

bool RunFolders::isScratchName(const QString& name)
{
    static const QRegularExpression pattern(u"^Trellick-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"_s);
    return pattern.match(name).hasMatch();
}

bool RunFolders::isStagingName(const QString& name)
{
    static const QRegularExpression pattern(u"^\\.trellick-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$"_s);
    return pattern.match(name).hasMatch();
}
