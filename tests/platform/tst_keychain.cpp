// libsecret first: GLib's headers use the word "signals", which Qt defines as a macro.
// clang-format off
#include <libsecret/secret.h>
// clang-format on

#include "TestMain.h"
#include "platform/SecretServiceKeychain.h"

#include <QTest>

using namespace Qt::StringLiterals;

// Runs against a real GNOME Keyring in a private D-Bus session (tests/support/with-keyring.sh), and once
// more without any session bus (noSecretService).
class TestKeychain : public QObject
{
    Q_OBJECT

    const QString account = u"openrouter-api-key"_s;

private slots:
    void init()
    {
        if (withoutService() && QTest::currentTestFunction() != "noSecretService"_ba) {
            QSKIP("this run has no Secret Service");
        }
    }

    void noSecretService()
    {
        if (!withoutService()) {
            QSKIP("runs as its own test, without a session bus");
        }
        SecretServiceKeychain keychain;
        QVERIFY(!keychain.save(u"sk-1"_s, account));
        QCOMPARE(keychain.load(account).state, KeychainRead::State::unavailable);
        keychain.remove(account);
    }

    void saveLoadAndRemove()
    {
        SecretServiceKeychain keychain;
        QCOMPARE(keychain.load(account), KeychainRead());
        const QString value = u"sk-or-v1-abc ключ “ü” 🔑"_s;
        QVERIFY(keychain.save(value, account));
        // Another instance sees it: the value lives in the service, not in the object.
        QCOMPARE(SecretServiceKeychain().load(account), found(value));
        QVERIFY(QFile::exists(qEnvironmentVariable("TRELLICK_TEST_KEYRINGS") + u"/login.keyring"_s));
        // An empty value is still an item, and accounts are apart.
        QVERIFY(keychain.save(QString(), u"empty"_s));
        QCOMPARE(keychain.load(u"empty"_s), found(QString()));
        keychain.remove(account);
        QCOMPARE(keychain.load(account), KeychainRead());
        QCOMPARE(itemCount(account), 0);
        QCOMPARE(keychain.load(u"empty"_s), found(QString()));
        keychain.remove(u"empty"_s);
        keychain.remove(account); // removing what is not there is harmless
    }

    void savingReplacesTheItemsOfEveryCollection()
    {
        SecretServiceKeychain keychain;
        QVERIFY(keychain.save(u"first"_s, account));
        // An older key that another program kept elsewhere, under another schema name.
        QVERIFY(storeInSessionCollection(u"revoked"_s, account));
        QCOMPARE(itemCount(account), 2);
        QVERIFY(keychain.save(u"second"_s, account));
        QCOMPARE(itemCount(account), 1);
        QCOMPARE(keychain.load(account), found(u"second"_s));
        QVERIFY(storeInSessionCollection(u"revoked"_s, account));
        keychain.remove(account);
        QCOMPARE(itemCount(account), 0);
    }

    void lockedKeyringRefusesAndKeepsTheKey()
    {
        SecretServiceKeychain keychain;
        QVERIFY(keychain.save(u"earlier"_s, account));
        QVERIFY(setDefaultCollectionLocked(true));
        // No one can answer the unlock prompt here: the save is refused without deleting the locked item,
        // and reading says the keyring is locked, not that there is no key.
        QVERIFY(!keychain.save(u"later"_s, account));
        keychain.remove(account);
        QCOMPARE(keychain.load(account), (KeychainRead{KeychainRead::State::unavailable, {}}));
        QVERIFY(setDefaultCollectionLocked(false));
        QCOMPARE(keychain.load(account), found(u"earlier"_s));
        keychain.remove(account);
    }

private:
    static KeychainRead found(const QString& value) { return {KeychainRead::State::found, value}; }
    static bool withoutService() { return qEnvironmentVariableIsSet("TRELLICK_TEST_NO_SECRET_SERVICE"); }
    // Items of the Trellick service for `account`, counted by the Secret Service itself.
    static int itemCount(const QString& account)
    {
        const QByteArray name = account.toUtf8();
        GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
        g_hash_table_insert(attributes, const_cast<char*>("service"), const_cast<char*>("Trellick"));
        g_hash_table_insert(attributes, const_cast<char*>("account"), const_cast<char*>(name.constData()));
        static const SecretSchema any = [] {
            SecretSchema made{};
            made.name = "any";
            made.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
            made.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
            made.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
            return made;
        }();
        GError* error = nullptr;
        GList* items = secret_password_searchv_sync(&any, attributes, SECRET_SEARCH_ALL, nullptr, &error);
        g_hash_table_unref(attributes);
        g_clear_error(&error);
        const int count = int(g_list_length(items));
        g_list_free_full(items, g_object_unref);
        return count;
    }

    static bool setDefaultCollectionLocked(bool locked)
    {
        if (!locked) {
            return unlockWithPassword();
        }
        GError* error = nullptr;
        SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
        SecretCollection* collection = service ? secret_collection_for_alias_sync(
                                           service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error)
                                               : nullptr;
        bool done = false;
        if (collection) {
            GList* objects = g_list_append(nullptr, collection);
            done = secret_service_lock_sync(service, objects, nullptr, nullptr, &error) > 0;
            g_list_free(objects);
            g_object_unref(collection);
        }
        if (service) {
            g_object_unref(service);
        }
        g_clear_error(&error);
        return done;
    }

    static bool unlockWithPassword()
    {
        // Unlocking through the Secret Service asks for the password in a prompt that nobody can answer
        // here; GNOME Keyring's own interface takes it directly, over a "plain" session of this connection.
        GError* error = nullptr;
        GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
        if (!bus) {
            g_clear_error(&error);
            return false;
        }
        const auto call = [&](const char* interface, const char* method, GVariant* args) {
            return g_dbus_connection_call_sync(bus, "org.freedesktop.secrets", "/org/freedesktop/secrets", interface,
                                               method, args, nullptr, G_DBUS_CALL_FLAGS_NONE, 10'000, nullptr, &error);
        };
        bool done = false;
        if (GVariant* opened = call("org.freedesktop.Secret.Service", "OpenSession",
                                    g_variant_new("(sv)", "plain", g_variant_new_string("")))) {
            GVariant* output = nullptr;
            const char* session = nullptr;
            g_variant_get(opened, "(v&o)", &output, &session);
            const QByteArray password = qgetenv("TRELLICK_TEST_KEYRING_PASSWORD");
            GVariant* secret = g_variant_new(
                "(o@ay@ays)", session, g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, "", 0, 1),
                g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, password.constData(), gsize(password.size()), 1),
                "text/plain");
            if (GVariant* unlocked
                = call("org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface", "UnlockWithMasterPassword",
                       g_variant_new("(o@(oayays))", "/org/freedesktop/secrets/collection/login", secret))) {
                done = true;
                g_variant_unref(unlocked);
            }
            g_variant_unref(output);
            g_variant_unref(opened);
        }
        g_clear_error(&error);
        g_object_unref(bus);
        return done;
    }

    static bool storeInSessionCollection(const QString& value, const QString& account)
    {
        static const SecretSchema other = [] {
            SecretSchema made{};
            made.name = "org.example.Other";
            made.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
            made.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
            return made;
        }();
        const QByteArray name = account.toUtf8();
        const QByteArray secret = value.toUtf8();
        GError* error = nullptr;
        const bool stored
            = secret_password_store_sync(&other, SECRET_COLLECTION_SESSION, "older", secret.constData(), nullptr,
                                         &error, "service", "Trellick", "account", name.constData(), nullptr);
        g_clear_error(&error);
        return stored;
    }
};

TRELLICK_TEST_MAIN(TestKeychain)
#include "tst_keychain.moc"
