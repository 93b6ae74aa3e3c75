#include "TestHome.h"

#include "platform/AccountHome.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace {

// Set by with-keyring.sh to the address of the private bus it made.
constexpr const char* privateBusVariable = "TRELLICK_TEST_PRIVATE_BUS";

bool insidePrivateBus()
{
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    return !bus.isEmpty() && bus == qgetenv(privateBusVariable);
}

[[noreturn]] void fatal(const char* what)
{
    std::fprintf(stderr, "TestHome: %s\n", what);
    std::abort();
}

// Starts this program again through the keyring script; returns only when that cannot be done.
void rerunInsidePrivateBus(char** argv, const char* script)
{
    char self[4096];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0) {
        fatal("cannot find this program to run it inside a private keyring");
    }
    self[length] = '\0';
    std::vector<char*> args{const_cast<char*>("sh"), const_cast<char*>(script), self};
    for (char** arg = argv + 1; *arg; ++arg) {
        args.push_back(*arg);
    }
    args.push_back(nullptr);
    execv("/bin/sh", args.data());
    fatal("cannot start the keyring script");
}

void set(const char* name, const QString& value)
{
    qputenv(name, QFile::encodeName(value));
}

} // namespace

TestHome::TestHome(char** argv, const char* keyringScript)
{
    const bool keepBus = keyringScript && insidePrivateBus();
    if (keyringScript && !keepBus && !qEnvironmentVariableIsSet("TRELLICK_TEST_NO_SECRET_SERVICE")) {
        rerunInsidePrivateBus(argv, keyringScript);
    }
    QByteArray folder = QFile::encodeName(QDir::tempPath()) + "/trellick-test-XXXXXX";
    if (!mkdtemp(folder.data())) {
        fatal("cannot make a temporary home");
    }
    m_path = QFile::decodeName(folder);
    set("HOME", m_path);
    const std::pair<const char*, const char*> folders[] = {{"XDG_DATA_HOME", "/.local/share"},
                                                           {"XDG_STATE_HOME", "/.local/state"},
                                                           {"XDG_CONFIG_HOME", "/.config"},
                                                           {"XDG_CACHE_HOME", "/.cache"},
                                                           {"XDG_RUNTIME_DIR", "/runtime"}};
    for (const auto& [variable, sub] : folders) {
        QDir().mkpath(m_path + QLatin1String(sub));
        set(variable, m_path + QLatin1String(sub));
    }
    const QString runtime = m_path + QStringLiteral("/runtime");
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!keepBus) {
        set("DBUS_SESSION_BUS_ADDRESS", QStringLiteral("unix:path=") + runtime + QStringLiteral("/no-bus"));
        qunsetenv(privateBusVariable);
    }
    // Nothing may reach the user's screen, clipboard or keyring daemon.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("GNOME_KEYRING_CONTROL");
    if (QDir(AccountHome::path()) == QDir(m_path)) {
        fatal("the temporary home is the account's own home");
    }
}

TestHome::~TestHome()
{
    QDir(m_path).removeRecursively();
}
