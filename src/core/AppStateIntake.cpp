// File intake: the ways files arrive, loading them, and probing the first one.
#include "AppState.h"
#include "CoreLog.h"
#include "files/Format.h"

#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QMimeDatabase>

using namespace Qt::StringLiterals;

void AppState::handleDrop(const QStringList& paths)
{
    load(paths);
}

void AppState::chooseFiles()
{
    if (!m_services.openPanel) {
        return;
    }
    const QStringList chosen = m_services.openPanel->choose(u"Choose the file or files to work on"_s);
    if (!chosen.isEmpty()) {
        load(chosen);
    }
}

void AppState::load(const QStringList& paths)
{
    QStringList kept;
    bool unreadableName = false;
    for (const QString& path : paths) {
        if (!path.isEmpty() && QFileInfo::exists(path)) {
            kept << path;
        } else {
            qCDebug(lcCore, "left out %s: there is nothing at that path", qUtf8Printable(path));
        }
        // A name that is not UTF-8 arrives with its bad bytes replaced, so the file it names cannot be
        // found again by that name.
        unreadableName = unreadableName || path.contains(QChar::ReplacementCharacter);
    }
    if (kept.isEmpty()) {
        setMessage(unreadableName ? u"This file's name cannot be read as text; rename it and try again."_s
                                  : u"That file could not be found."_s);
        return;
    }
    m_task.cancel();
    m_afterProbe = {}; // asked of the files that are going
    dropPlayer();
    setFiles(kept);
    setKind(FileKinds::detect(kept));
    setStage(Stage::idle);
    setReview(std::nullopt);
    setOutcome(std::nullopt);
    setCurrentAction(std::nullopt);
    setRequestText({});
    setMessage(std::nullopt);
    setDetails(basicDetails(kept.first()));
    reprobe();
}

void AppState::clearFiles()
{
    m_task.cancel();
    m_probe.cancel();
    m_afterProbe = {};
    dropPlayer();
    setFiles({});
    setDetails(std::nullopt);
    setStage(Stage::idle);
    setReview(std::nullopt);
    setOutcome(std::nullopt);
    setCurrentAction(std::nullopt);
    setMessage(std::nullopt);
}

void AppState::dropPlayer()
{
    if (!m_player) {
        return;
    }
    m_player->pause();
    // Later, so that a view still holding it while it handles playerChanged is not left with a dangling pointer.
    std::exchange(m_player, nullptr)->deleteLater();
    emit playerChanged();
}

void AppState::makePlayer()
{
    // A list of other files is no medium: a player would go and read the files, or addresses, it names.
    if (m_player || m_files.size() != 1 || (m_kind != FileKind::video && m_kind != FileKind::audio)
        || (m_details && m_details->facts.fileList)) {
        return;
    }
    m_player = m_services.makePlayer(m_files.first(), this);
    emit playerChanged();
}

void AppState::reprobe()
{
    if (m_files.isEmpty()) {
        return;
    }
    const QString path = m_files.first();
    const quint64 generation = ++m_probeGeneration;
    // A request waiting for the facts stays: the newer probe (after an install, say) answers it.
    m_probing = true;
    auto* watcher = new QFutureWatcher<MediaFacts>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, path, generation] {
        watcher->deleteLater();
        if (generation != m_probeGeneration) {
            qCDebug(lcCore, "dropped the facts of %s: a newer reading was asked for", qUtf8Printable(path));
            return;
        }
        m_probing = false;
        const QFuture<MediaFacts> future = watcher->future();
        if (!m_files.isEmpty() && m_files.first() == path && m_details && future.isValid()
            && future.resultCount() > 0) {
            FileDetails details = *m_details;
            details.facts = future.result();
            setDetails(details);
            if (details.facts.fileList) {
                setMessage(u"That file is a list of other files, not a video or audio file."_s);
            }
        }
        if (const std::function<void()> pending = std::exchange(m_afterProbe, {})) {
            pending();
        }
        // The player comes after the facts: making it loads the multimedia back end and opens the file, which
        // takes longer than reading the facts. Queued, it is still made before the window paints them.
        QMetaObject::invokeMethod(
            this,
            [this, generation] {
                if (generation == m_probeGeneration) {
                    makePlayer();
                }
            },
            Qt::QueuedConnection);
    });
    // The files of an older reading wait no longer for their turn.
    m_probe.cancel();
    m_probe = m_services.prober(path, FileKinds::detect(path));
    watcher->setFuture(m_probe);
}

FileDetails AppState::basicDetails(const QString& path)
{
    const QFileInfo info(path);
    FileDetails details;
    details.path = path;
    details.name = info.fileName();
    details.ext = info.suffix().toLower();
    details.kind = FileKinds::detect(path);
    if (details.kind == FileKind::folder) {
        const qsizetype count
            = QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System).size();
        details.sizeText = QString::number(count) + u" items"_s;
    } else {
        details.sizeBytes = info.size();
        details.sizeText = Format::size(details.sizeBytes);
    }
    // The generic "unknown" type has a description too, but the fallback word says more.
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(info);
    const QString comment = mime.isValid() && !mime.isDefault() ? mime.comment() : QString();
    details.kindText = comment.isEmpty() ? FileKinds::word(details.kind) : comment;
    details.iconName = mime.iconName();
    return details;
}
