#pragma once

#include "FakeOllama.h"
#include "FakeOpenRouter.h"
#include "FakeWorkspace.h"
#include "MemoryKeychain.h"
#include "core/Services.h"

#include <optional>

// An open panel that never shows a window: it gives the answer the test planted, once.
class FakeOpenPanel : public OpenPanel
{
public:
    QStringList choose(const QString& message) override;

    std::optional<QStringList> nextAnswer; // an empty list is a cancel
    QStringList messages; // what each panel asked
};

// The services of an AppState under test. Nothing reaches the desktop, a keyring or a server: the keychain
// is in memory, the workspace and the open panel are fakes kept here for the test to look at, the clock
// stands still and the AI services answer from an address where nothing listens. Files are probed and
// played as in the application. A test changes `services` before it makes the AppState.
struct TestServices
{
    TestServices();

    std::shared_ptr<MemoryKeychain> keychain;
    std::shared_ptr<FakeWorkspace> workspace;
    std::shared_ptr<FakeOpenPanel> openPanel;
    // The time every run is recorded with.
    static QDateTime fixedNow();
    Services services;
};

// Services whose AI endpoints are local OpenRouter (one free model) and Ollama stand-ins, signed in to
// OpenRouter unless told otherwise. Flows under test play nothing.
struct AITestServices : TestServices
{
    explicit AITestServices(bool signedIn = true);

    FakeOpenRouter openRouter;
    FakeOllama ollama;
};
