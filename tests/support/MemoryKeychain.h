#pragma once

#include "platform/Keychain.h"

#include <QHash>
#include <QMutex>

// A keychain in memory for unit tests. It can be made unavailable, as a locked keyring or one that is not
// running is: reads say so, saves are refused and removals do nothing. Safe to use from the test and the
// keychain thread.
class MemoryKeychain : public Keychain
{
public:
    bool save(const QString& value, const QString& account) override;
    KeychainRead load(const QString& account) override;
    void remove(const QString& account) override;

    void setUnavailable(bool unavailable);
    int saves() const;

private:
    mutable QMutex m_mutex;
    QHash<QString, QString> m_items;
    bool m_unavailable = false;
    int m_saves = 0;
};

// What a keychain reads back for a stored `value`.
inline KeychainRead storedKey(const QString& value)
{
    return {KeychainRead::State::found, value};
}
