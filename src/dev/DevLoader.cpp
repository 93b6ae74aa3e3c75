#include "DevLoader.h"

#include "files/ProbeHelper.h"
#include "store/AISettings.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFutureWatcher>

Services DevLoader::services()
{
    Services services = Services::system();
    services.makePlayer = [](const QString&, QObject*) -> MediaPlayer* { return nullptr; };
    services.prober = [this](const QString& path, FileKind kind) { return m_probing = ProbeHelper::probe(path, kind); };
    return services;
}

void DevLoader::load(AppState& state, const QStringList& paths)
{
    // The key comes from the keyring off the main thread, as in the window: a request needs it first.
    if (state.settings().readingKey()) {
        QEventLoop reading;
        QObject::connect(&state.settings(), &AISettings::keyRead, &reading, &QEventLoop::quit);
        reading.exec();
    }
    m_probing = {};
    state.load(paths);
    if (m_probing.isValid()) {
        // The helper is driven by this thread's events, so the wait is an event loop of its own.
        QEventLoop loop;
        QFutureWatcher<MediaFacts> watcher;
        QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(m_probing);
        loop.exec();
    }
    QCoreApplication::processEvents(); // hands the facts to the state
}
