#pragma once

#include <QString>
#include <optional>

// The user's secure per-user store for secrets, one string per account name. The operations are
// synchronous and may run on any thread.
class Keychain
{
public:
    virtual ~Keychain() = default;

    // Keeps `value` for `account`, replacing every earlier item for it; false when the store would not keep
    // it (no secret service, a locked item, or it refused). A locked item stops the save before anything is
    // removed; a refusal after the earlier items were removed leaves none.
    virtual bool save(const QString& value, const QString& account) = 0;
    // The stored value; nothing when there is none or the store cannot be read for any reason.
    virtual std::optional<QString> load(const QString& account) = 0;
    // Removes the value for `account`; failures are ignored.
    virtual void remove(const QString& account) = 0;

    // The system's store (the Secret Service), shared by the whole application.
    static Keychain& system();
};
