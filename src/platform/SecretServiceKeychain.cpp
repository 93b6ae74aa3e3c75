// libsecret first: GLib's headers use the word "signals", which Qt defines as a macro.
// clang-format off
#include <libsecret/secret.h>
// clang-format on

#include "SecretServiceKeychain.h"

#include "PlatformLog.h"

#include <QStringDecoder>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// Items are matched by their two attributes alone, whatever schema name another program stored them
// under, so that save, load and remove always agree on which items belong to an account.
const SecretSchema* schema()
{
    static const SecretSchema trellick = [] {
        SecretSchema made{};
        made.name = "app.trellick.Secret";
        made.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
        made.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        made.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return made;
    }();
    return &trellick;
}

struct HashTableDeleter
{
    void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};

// The attribute table; the strings live in `account` and the literal, which outlive the call.
std::unique_ptr<GHashTable, HashTableDeleter> attributes(const QByteArray& account)
{
    std::unique_ptr<GHashTable, HashTableDeleter> table(g_hash_table_new(g_str_hash, g_str_equal));
    g_hash_table_insert(table.get(), const_cast<char*>("service"), const_cast<char*>("Trellick"));
    g_hash_table_insert(table.get(), const_cast<char*>("account"), const_cast<char*>(account.constData()));
    return table;
}

// The Secret Service with a session for reading secrets; null, with the reason logged, when none answers.
SecretService* openService()
{
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
    if (!service) {
        qCDebug(lcPlatform, "no Secret Service: %s", error ? error->message : "unknown error");
    }
    g_clear_error(&error);
    return service;
}

struct ItemsDeleter
{
    void operator()(GList* items) const { g_list_free_full(items, g_object_unref); }
};
using Items = std::unique_ptr<GList, ItemsDeleter>;

// Every item of `account` in every collection, after asking the service to unlock the locked ones; false
// when the search itself failed.
bool findItems(SecretService* service, const QByteArray& account, SecretSearchFlags flags, Items& found)
{
    GError* error = nullptr;
    GList* items = secret_service_search_sync(service, schema(), attributes(account).get(),
                                              SecretSearchFlags(SECRET_SEARCH_ALL | SECRET_SEARCH_UNLOCK | flags),
                                              nullptr, &error);
    found.reset(items);
    if (error) {
        qCDebug(lcPlatform, "searching the keyring failed: %s", error->message);
        g_clear_error(&error);
        return false;
    }
    return true;
}

// Deletes every item found; false when one stayed locked or would not go.
bool deleteItems(const Items& items)
{
    for (GList* node = items.get(); node; node = node->next) {
        if (secret_item_get_locked(static_cast<SecretItem*>(node->data))) {
            qCDebug(lcPlatform, "a keyring item stayed locked, so it cannot be replaced");
            return false;
        }
    }
    for (GList* node = items.get(); node; node = node->next) {
        GError* error = nullptr;
        if (!secret_item_delete_sync(static_cast<SecretItem*>(node->data), nullptr, &error)) {
            qCDebug(lcPlatform, "deleting a keyring item failed: %s", error ? error->message : "unknown error");
            g_clear_error(&error);
            return false;
        }
    }
    return true;
}

} // namespace

Keychain& Keychain::system()
{
    static SecretServiceKeychain keychain;
    return keychain;
}

bool SecretServiceKeychain::save(const QString& value, const QString& account)
{
    const QByteArray name = account.toUtf8();
    SecretService* service = openService();
    if (!service) {
        return false;
    }
    // An older key kept in another collection would otherwise go on loading after this one is saved.
    Items items;
    bool saved = findItems(service, name, SECRET_SEARCH_NONE, items) && deleteItems(items);
    if (saved) {
        const QByteArray secret = value.toUtf8();
        const QByteArray label = (u"Trellick ("_s + account + u')').toUtf8();
        GError* error = nullptr;
        saved = secret_password_storev_sync(schema(), attributes(name).get(), SECRET_COLLECTION_DEFAULT,
                                            label.constData(), secret.constData(), nullptr, &error);
        if (error) {
            qCDebug(lcPlatform, "storing in the keyring failed: %s", error->message);
        }
        g_clear_error(&error);
    }
    g_object_unref(service);
    return saved;
}

KeychainRead SecretServiceKeychain::load(const QString& account)
{
    SecretService* service = openService();
    if (!service) {
        return {KeychainRead::State::unavailable, {}};
    }
    // The search asks the service to unlock what it finds; an item that stays locked is a keyring the user
    // has not opened, which must not read as having no key.
    Items items;
    KeychainRead read{KeychainRead::State::unavailable, {}};
    if (findItems(service, account.toUtf8(), SECRET_SEARCH_LOAD_SECRETS, items)) {
        read.state = items ? KeychainRead::State::unavailable : KeychainRead::State::absent;
        for (GList* node = items.get(); node && read.state == KeychainRead::State::unavailable; node = node->next) {
            auto* item = static_cast<SecretItem*>(node->data);
            SecretValue* secret = secret_item_get_locked(item) ? nullptr : secret_item_get_secret(item);
            if (!secret) {
                continue;
            }
            gsize length = 0;
            const gchar* bytes = secret_value_get(secret, &length);
            QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
            read.value = decoder.decode(QByteArrayView(bytes, qsizetype(length)));
            // A value that is not text is no key: signing in again replaces it.
            read.state = decoder.hasError() ? KeychainRead::State::absent : KeychainRead::State::found;
            secret_value_unref(secret);
        }
        if (read.state == KeychainRead::State::unavailable) {
            qCDebug(lcPlatform, "the keyring item stayed locked");
        }
    }
    if (read.state != KeychainRead::State::found) {
        read.value.clear();
    }
    g_object_unref(service);
    return read;
}

void SecretServiceKeychain::remove(const QString& account)
{
    SecretService* service = openService();
    if (!service) {
        return;
    }
    Items items;
    if (findItems(service, account.toUtf8(), SECRET_SEARCH_NONE, items)) {
        deleteItems(items);
    }
    g_object_unref(service);
}
