#pragma once

#include "Keychain.h"

// Secrets in the freedesktop Secret Service (GNOME Keyring, KWallet, KeePassXC) through libsecret, as
// items with the attributes service = "Trellick" and account.
class SecretServiceKeychain : public Keychain
{
public:
    bool save(const QString& value, const QString& account) override;
    KeychainRead load(const QString& account) override;
    void remove(const QString& account) override;
};
