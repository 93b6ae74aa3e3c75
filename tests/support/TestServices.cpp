#include "TestServices.h"

#include "files/ProbeHelper.h"
#include "platform/HelperFolder.h"
#include "platform/PlayerModule.h"

using namespace Qt::StringLiterals;

QStringList FakeOpenPanel::choose(const QString& message)
{
    messages << message;
    if (!nextAnswer) {
        qWarning("an open panel was shown that the test did not answer");
        return {};
    }
    return *std::exchange(nextAnswer, std::nullopt);
}

TestServices::TestServices()
    : keychain(std::make_shared<MemoryKeychain>())
    , workspace(std::make_shared<FakeWorkspace>())
    , openPanel(std::make_shared<FakeOpenPanel>())
{
    services.keychain = keychain;
    services.workspace = workspace;
    services.openPanel = openPanel;
    services.prober = &ProbeHelper::probe;
    services.makePlayer = &PlayerModule::create;
    services.now = &fixedNow;
    services.toolsDir = HelperFolder::path();
    const QUrl nowhere(u"http://127.0.0.1:9/"_s);
    services.endpoints.openRouterBase = nowhere;
    services.endpoints.openRouterWebBase = nowhere;
    services.endpoints.ollamaBase = nowhere;
}

QDateTime TestServices::fixedNow()
{
    return QDateTime(QDate(2026, 3, 14), QTime(15, 9, 26, 535), Qt::UTC);
}

AITestServices::AITestServices(bool signedIn)
{
    openRouter.setModels({FakeOpenRouter::model(u"maker/model:free"_s, 1'700'000'000)});
    if (signedIn) {
        keychain->save(u"sk-or-test"_s, u"openrouter-api-key"_s);
    }
    services.endpoints.openRouterBase = openRouter.url();
    services.endpoints.ollamaBase = ollama.url();
    services.endpoints.chatTimeoutMs = 5000;
    services.makePlayer = [](const QString&, QObject*) -> MediaPlayer* { return nullptr; };
}
