#pragma once

#include <QString>
#include <functional>
#include <memory>

class QObject;

// What reading a secret found. `unavailable` is a store that could not be asked or would not answer (not
// running, locked, the unlock refused): not the same as having no such secret.
struct KeychainRead
{
    enum class State { absent, found, unavailable };
    State state = State::absent;
    QString value;

    bool operator==(const KeychainRead&) const = default;
};

// The user's secure per-user store for secrets, one string per account name. The operations block, perhaps
// without end (an unlock prompt nobody answers, a stuck service), so the window calls them off its thread.
class Keychain
{
public:
    virtual ~Keychain() = default;

    // Keeps `value` for `account`, replacing every earlier item for it; false when the store would not keep
    // it (no secret service, a locked item, or it refused). A locked item stops the save before anything is
    // removed; a refusal after the earlier items were removed leaves none.
    virtual bool save(const QString& value, const QString& account) = 0;
    virtual KeychainRead load(const QString& account) = 0;
    // Removes every item of `account`; failures are only logged.
    virtual void remove(const QString& account) = 0;

    // The system's store (the Secret Service), shared by the whole application.
    static Keychain& system();

    // Run the operation on the one keychain thread, then `done` on `context`'s thread, or never once
    // `context` is gone. The keychain is kept alive until the operation has run.
    static void readLater(std::shared_ptr<Keychain> keychain, const QString& account, QObject* context,
                          std::function<void(const KeychainRead&)> done);
    static void saveLater(std::shared_ptr<Keychain> keychain, const QString& value, const QString& account,
                          QObject* context, std::function<void(bool)> done);
    static void removeLater(std::shared_ptr<Keychain> keychain, const QString& account, QObject* context,
                            std::function<void()> done);
};
