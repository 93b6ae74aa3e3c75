// libsecret first: GLib's headers use the word "signals", which Qt defines as a macro.
// clang-format off
#include <libsecret/secret.h>
// clang-format on

#include "SecretServiceKeychain.h"

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

} // namespace

Keychain& Keychain::system()
{
    static SecretServiceKeychain keychain;
    return keychain;
}

bool SecretServiceKeychain::save(const QString& value, const QString& account)
{
    const QByteArray name = account.toUtf8();
    const QByteArray secret = value.toUtf8();
    const QByteArray label = (u"Trellick ("_s + account + u')').toUtf8();
    GError* error = nullptr;
    // Storing replaces an item with the same attributes in one step, so a refused store keeps the old one.
    const gboolean stored = secret_password_storev_sync(schema(), attributes(name).get(), SECRET_COLLECTION_DEFAULT,
                                                        label.constData(), secret.constData(), nullptr, &error);
    g_clear_error(&error);
    return stored;
}

std::optional<QString> SecretServiceKeychain::load(const QString& account)
{
    GError* error = nullptr;
    gchar* secret = secret_password_lookupv_sync(schema(), attributes(account.toUtf8()).get(), nullptr, &error);
    g_clear_error(&error);
    if (!secret) {
        return std::nullopt;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString value = decoder.decode(QByteArrayView(secret));
    secret_password_free(secret);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    return value;
}

void SecretServiceKeychain::remove(const QString& account)
{
    GError* error = nullptr;
    secret_password_clearv_sync(schema(), attributes(account.toUtf8()).get(), nullptr, &error);
    g_clear_error(&error);
}
