#include "Services.h"

#include "files/ProbeHelper.h"
#include "platform/DesktopWorkspace.h"
#include "platform/HelperFolder.h"
#include "platform/PlayerModule.h"

Services Services::system()
{
    Services services;
    // Not owned: the system keyring lives as long as the program.
    services.keychain = std::shared_ptr<Keychain>(std::shared_ptr<Keychain>(), &Keychain::system());
    services.workspace = std::make_shared<DesktopWorkspace>();
    services.prober = &ProbeHelper::probe;
    services.makePlayer = &PlayerModule::create;
    services.now = &QDateTime::currentDateTimeUtc;
    services.endpoints = AIEndpoints::fromEnvironment();
    services.toolsDir = HelperFolder::path();
    return services;
}
