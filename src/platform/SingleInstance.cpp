#include "SingleInstance.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QUrl>
#include <QVariantMap>

using namespace Qt::StringLiterals;

namespace {

const QString serviceName = u"app.trellick.Trellick"_s;
const QString objectPath = u"/app/trellick/Trellick"_s;
const QString interfaceName = u"org.freedesktop.Application"_s;
// A running window that takes longer than this to answer is treated as gone.
constexpr int callTimeoutMs = 5000;

// The freedesktop application interface; ActivateAction has nothing to do, since the program offers no
// desktop actions.
class ApplicationAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

public:
    explicit ApplicationAdaptor(SingleInstance* owner)
        : QDBusAbstractAdaptor(owner)
        , m_owner(owner)
    {
    }

public slots:
    void Activate(const QVariantMap& /*platformData*/) { emit m_owner->openRequested({}); }
    void Open(const QStringList& uris, const QVariantMap& /*platformData*/)
    {
        emit m_owner->openRequested(SingleInstance::localPaths(uris));
    }
    void ActivateAction(const QString& /*name*/, const QVariantList& /*parameter*/, const QVariantMap& /*platformData*/)
    {
    }

private:
    SingleInstance* m_owner;
};

// What lets the running window take the focus: the launcher's startup or activation token.
QVariantMap platformData()
{
    QVariantMap data;
    const QByteArray startupId = qgetenv("DESKTOP_STARTUP_ID");
    if (!startupId.isEmpty()) {
        data.insert(u"desktop-startup-id"_s, QString::fromUtf8(startupId));
    }
    const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN");
    if (!token.isEmpty()) {
        data.insert(u"activation-token"_s, QString::fromUtf8(token));
    }
    return data;
}

} // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent)
{
}

bool SingleInstance::claim(const QStringList& paths)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return true;
    }
    new ApplicationAdaptor(this);
    bus.registerObject(objectPath, this);
    if (bus.registerService(serviceName)) {
        return true;
    }
    QStringList uris;
    for (const QString& path : paths) {
        uris << QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
    }
    QDBusMessage call = QDBusMessage::createMethodCall(serviceName, objectPath, interfaceName,
                                                       uris.isEmpty() ? u"Activate"_s : u"Open"_s);
    if (uris.isEmpty()) {
        call << platformData();
    } else {
        call << uris << platformData();
    }
    const QDBusMessage reply = bus.call(call, QDBus::Block, callTimeoutMs);
    return reply.type() != QDBusMessage::ReplyMessage;
}

QStringList SingleInstance::localPaths(const QStringList& arguments)
{
    QStringList paths;
    for (const QString& argument : arguments) {
        if (argument.isEmpty()) {
            continue;
        }
        if (argument.startsWith(u"file:"_s, Qt::CaseInsensitive)) {
            QUrl url(argument);
            if (url.host() == u"localhost"_s) {
                url.setHost({});
            }
            if (url.isValid() && url.isLocalFile() && url.host().isEmpty()) {
                paths << QDir::cleanPath(url.toLocalFile());
            }
        } else if (!argument.contains(u"://"_s)) {
            paths << QDir::cleanPath(QDir::current().absoluteFilePath(argument));
        }
    }
    return paths;
}

#include "SingleInstance.moc"
