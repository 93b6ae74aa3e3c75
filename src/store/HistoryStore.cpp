#include "HistoryStore.h"

#include "StoreLog.h"
#include "base/AppPaths.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>

using namespace Qt::StringLiterals;

namespace {

// Decodes the whole list or nothing: one bad entry makes the file unusable.
std::optional<QList<HistoryEntry>> decode(const QByteArray& bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray()) {
        return std::nullopt;
    }
    QList<HistoryEntry> entries;
    for (const QJsonValue& value : document.array()) {
        auto entry = HistoryEntry::fromJson(value);
        if (!entry) {
            return std::nullopt;
        }
        entries << *entry;
    }
    return entries;
}

// "history.json.unreadable", or with a number when that name is taken.
QString keepAsideName(const QString& path)
{
    const QString base = path + u".unreadable"_s;
    QString candidate = base;
    for (int n = 2; QFileInfo(candidate).exists() || QFileInfo(candidate).isSymLink(); ++n) {
        candidate = base + u'-' + QString::number(n);
    }
    return candidate;
}

} // namespace

HistoryStore::HistoryStore(QObject* parent)
    : QObject(parent)
{
    m_queue.setMaxThreadCount(1);
    m_queue.setObjectName(u"trellick.history"_s);

    const QString path = filePath();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink()) {
        return;
    }
    QFile file(path);
    std::optional<QList<HistoryEntry>> loaded;
    if (file.open(QIODevice::ReadOnly)) {
        loaded = decode(file.readAll());
    }
    if (loaded) {
        m_entries = *loaded;
    } else {
        m_keepAsidePending = true;
    }
}

HistoryStore::~HistoryStore()
{
    m_queue.waitForDone();
}

QString HistoryStore::filePath()
{
    return AppPaths::supportDir() + u"/history.json"_s;
}

void HistoryStore::add(const HistoryEntry& entry)
{
    QList<HistoryEntry> entries = m_entries;
    entries.prepend(entry);
    if (entries.size() > maxEntries) {
        entries.resize(maxEntries);
    }
    setEntries(entries);
    save();
}

void HistoryStore::remove(const HistoryEntry& entry)
{
    QList<HistoryEntry> entries = m_entries;
    entries.removeIf([&](const HistoryEntry& e) { return e.id == entry.id; });
    setEntries(entries);
    save();
}

void HistoryStore::clear()
{
    setEntries({});
    save();
}

void HistoryStore::waitForWrites()
{
    m_queue.waitForDone();
}

void HistoryStore::setEntries(const QList<HistoryEntry>& entries)
{
    if (m_entries == entries) {
        return;
    }
    m_entries = entries;
    emit entriesChanged();
}

void HistoryStore::save()
{
    QJsonArray array;
    for (const HistoryEntry& entry : std::as_const(m_entries)) {
        array.append(entry.toJson());
    }
    const QString path = filePath();
    // The pool has one thread and runs its tasks first in, first out: the writes keep their order.
    m_queue.start([this, path, bytes = QJsonDocument(array).toJson(QJsonDocument::Compact)] {
        if (m_keepAsidePending) {
            if (QFileInfo(path).exists() || QFileInfo(path).isSymLink()) {
                if (!QFile::rename(path, keepAsideName(path))) {
                    qCDebug(lcStore, "could not keep the unreadable history aside");
                    return; // the old file stays untouched; the next change tries again
                }
            }
            m_keepAsidePending = false;
        }
        // The history on screen stays right; only the next start would miss this change.
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
            qCDebug(lcStore, "the history was not written to %s: %s", qUtf8Printable(path),
                    qUtf8Printable(file.errorString()));
        }
    });
}
