#include "Keychain.h"

#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrent>

namespace {

// One thread, so that the calls reach the store in the order they were made. Never destroyed: a call stuck
// on an unanswered unlock prompt must not hold up the application's exit.
QThreadPool* keychainThread()
{
    static QThreadPool* const pool = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(1);
        return made;
    }();
    return pool;
}

// Calls `done` with the result on `context`'s thread; the watcher goes with `context`, and so does the call.
template <typename T, typename Done>
void answerOn(const QFuture<T>& future, QObject* context, Done done)
{
    auto* watcher = new QFutureWatcher<T>(context);
    QObject::connect(watcher, &QFutureWatcherBase::finished, context, [watcher, done = std::move(done)] {
        watcher->deleteLater();
        if constexpr (std::is_void_v<T>) {
            done();
        } else {
            done(watcher->result());
        }
    });
    watcher->setFuture(future);
}

} // namespace

void Keychain::readLater(std::shared_ptr<Keychain> keychain, const QString& account, QObject* context,
                         std::function<void(const KeychainRead&)> done)
{
    answerOn(QtConcurrent::run(keychainThread(),
                               [keychain = std::move(keychain), account] { return keychain->load(account); }),
             context, std::move(done));
}

void Keychain::saveLater(std::shared_ptr<Keychain> keychain, const QString& value, const QString& account,
                         QObject* context, std::function<void(bool)> done)
{
    answerOn(
        QtConcurrent::run(keychainThread(),
                          [keychain = std::move(keychain), value, account] { return keychain->save(value, account); }),
        context, std::move(done));
}

void Keychain::removeLater(std::shared_ptr<Keychain> keychain, const QString& account, QObject* context,
                           std::function<void()> done)
{
    answerOn(
        QtConcurrent::run(keychainThread(), [keychain = std::move(keychain), account] { keychain->remove(account); }),
        context, std::move(done));
}
