#include "FakeSignIn.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "TestMedia.h"
#include "TestServices.h"
#include "WidgetFinder.h"
#include "base/AppPaths.h"
#include "base/FFmpegTools.h"
#include "core/AppState.h"
#include "ui/DialogRouter.h"
#include "ui/MainWindow.h"
#include "ui/SettingsView.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using WidgetFinder::shown;
using WidgetFinder::shownByObjectName;

namespace {

const QString account = u"openrouter-api-key"_s;

// The text of a shown label, or a marker that it is not shown.
QString shownText(QWidget* root, const QString& objectName)
{
    auto* label = shownByObjectName<QLabel>(root, objectName);
    return label ? label->text() : u"(not shown)"_s;
}

} // namespace

// The settings window against local stand-ins for OpenRouter, its sign-in page and Ollama.
class TestSettingsView : public QObject
{
    Q_OBJECT

    QTemporaryDir m_pathDir; // a PATH without ffmpeg
    TestFiles::ScopedPath m_path{m_pathDir.path()};
    std::unique_ptr<FakeSignIn> m_signIn;
    std::unique_ptr<AITestServices> m_ai;
    AppState* m_state = nullptr;
    MainWindow* m_window = nullptr;

    AISettings& settings() { return m_state->settings(); }

    // The window over settings that use the stand-ins; `ollama` replaces the address of Ollama.
    void start(std::optional<QUrl> ollama = std::nullopt)
    {
        Services services = m_ai->services;
        services.endpoints.openRouterWebBase = m_signIn->url();
        services.endpoints.ollamaBase = ollama.value_or(m_ai->ollama.url());
        m_state = new AppState(services);
        QTRY_VERIFY(!settings().readingKey());
        m_window = new MainWindow(m_state);
        m_window->show();
    }

    SettingsView* openSettings()
    {
        m_state->setDialog(DialogKind::settings);
        return qobject_cast<SettingsView*>(m_window->dialogRouter()->current());
    }

    int looksForOllama() const { return int(m_ai->ollama.server().requests("/api/tags").size()); }

private slots:
    void init()
    {
        QSettings(u"Trellick"_s, u"Trellick"_s).clear();
        m_signIn = std::make_unique<FakeSignIn>();
        m_ai = std::make_unique<AITestServices>(false);
    }

    void cleanup()
    {
        delete m_window;
        delete m_state;
        m_window = nullptr;
        m_state = nullptr;
        // One at a time: the sign-in stand-in is the browser of the whole program while it lives.
        m_signIn.reset();
        QDir(AppPaths::binDir()).removeRecursively();
    }

    void openingLooksForOllamaOnlyWhenItIsChosen_data()
    {
        QTest::addColumn<AIProviderKind>("provider");
        QTest::addColumn<int>("looks");
        QTest::newRow("openRouter") << AIProviderKind::openRouter << 0;
        QTest::newRow("ollama") << AIProviderKind::ollama << 1;
    }

    void openingLooksForOllamaOnlyWhenItIsChosen()
    {
        QFETCH(AIProviderKind, provider);
        QFETCH(int, looks);
        m_ai->ollama.setModels({u"llama3.2:latest"_s, u"qwen2.5:7b"_s});
        start();
        settings().setProvider(provider);
        SettingsView* view = openSettings();
        QVERIFY(view);
        QTest::qWait(300);
        QCOMPARE(looksForOllama(), looks);

        // Choosing Ollama in the open window shows its section but does not look by itself.
        auto* picker = shown<QComboBox>(view, u"AI provider"_s);
        QCOMPARE(picker->count(), 2);
        QCOMPARE(picker->itemText(1), u"Ollama (on this computer)"_s);
        picker->setCurrentIndex(1);
        emit picker->activated(1);
        QCOMPARE(settings().provider(), AIProviderKind::ollama);
        QVERIFY(shownByObjectName(view, u"ollamaSection"_s));
        QVERIFY(!shownByObjectName(view, u"openRouterSection"_s));
        QTest::qWait(300);
        QCOMPARE(looksForOllama(), looks);
        if (looks == 0) {
            QVERIFY(!shown<QComboBox>(view, u"Model"_s));
            shown<QPushButton>(view, u"Look for Ollama"_s)->click();
        }
        // The found models are offered; the first was chosen and another can be.
        QTRY_VERIFY(shown<QComboBox>(view, u"Model"_s));
        auto* model = shown<QComboBox>(view, u"Model"_s);
        QCOMPARE(model->count(), 2);
        QCOMPARE(model->currentText(), u"llama3.2:latest"_s);
        QCOMPARE(shownText(view, u"ollamaNotice"_s), u"Found Ollama with 2 model(s)."_s);
        QCOMPARE(shownText(view, u"savedModel"_s), u"(not shown)"_s);
        model->setCurrentIndex(1);
        emit model->activated(1);
        QCOMPARE(settings().ollamaModel(), u"qwen2.5:7b"_s);
        QCOMPARE(QSettings(u"Trellick"_s, u"Trellick"_s).value(u"ollamaModel"_s).toString(), u"qwen2.5:7b"_s);
    }

    void noOllamaRunningShowsTheSavedModelAndNoPicker()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QUrl nowhere(u"http://127.0.0.1:"_s + QString::number(closed.serverPort()));
        closed.close();
        QSettings(u"Trellick"_s, u"Trellick"_s).setValue(u"ollamaModel"_s, u"llama3.2"_s);
        QSettings(u"Trellick"_s, u"Trellick"_s).setValue(u"aiProvider"_s, u"ollama"_s);
        start(nowhere);
        SettingsView* view = openSettings();
        QTRY_COMPARE(shownText(view, u"ollamaNotice"_s),
                     u"Could not reach Ollama at 127.0.0.1:11434. Start the Ollama app, then press Look again."_s);
        QCOMPARE(shownText(view, u"savedModel"_s), u"Saved model: llama3.2"_s);
        QVERIFY(!shown<QComboBox>(view, u"Model"_s));
    }

    void signOutThenSignInWhileFreeModelsStillWork()
    {
        QVERIFY(m_ai->keychain->save(u"sk-or-stored"_s, account));
        m_signIn->setBrowser(FakeSignIn::Browser::never);
        start();
        SettingsView* view = openSettings();
        QVERIFY(shownByObjectName(view, u"signedIn"_s));
        QVERIFY(!shown<QPushButton>(view, u"Sign in"_s));

        shown<QPushButton>(view, u"Sign out"_s)->click();
        QVERIFY(!shownByObjectName(view, u"signedIn"_s));
        QTRY_COMPARE(m_ai->keychain->load(account), KeychainRead());
        QVERIFY(!shown<QPushButton>(view, u"Sign out"_s));
        QCOMPARE(shownText(view, u"signInNotice"_s), u"Signed out. The key was removed from your keyring."_s);

        auto* signIn = shownByObjectName<QPushButton>(view, u"signIn"_s);
        QCOMPARE(signIn->text(), u"Sign in"_s);
        QVERIFY(signIn->isEnabled());
        signIn->click();
        QCOMPARE(signIn->text(), u"Waiting for the browser..."_s);
        QVERIFY(!signIn->isEnabled());
        QTRY_VERIFY(m_signIn->openedUrl().isValid());

        auto* freeModels = shown<QPushButton>(view, u"Show free models"_s);
        QVERIFY(freeModels->isEnabled());
        freeModels->click();
        QTRY_COMPARE(shownText(view, u"freeModelNote"_s),
                     u"1 free models found. They are tried in this order:\nmaker/model:free"_s);
        QVERIFY(settings().busy());
    }

    void removeIsOfferedOnlyForInstalledTools()
    {
        start();
        SettingsView* view = openSettings();
        QCOMPARE(shownText(view, u"toolsStatus"_s), u"ffmpeg and ffprobe are not installed yet."_s);
        QVERIFY(shownText(view, u"toolsSource"_s).contains(u" ~/.local/share/Trellick/bin, "_s));
        QVERIFY(shown<QPushButton>(view, u"Download ffmpeg and ffprobe"_s));
        QVERIFY(!shown<QPushButton>(view, u"Remove"_s));

        // While a download runs, its progress and Cancel take the buttons' place.
        m_state->setToolsInstalling(true);
        QVERIFY(shownByObjectName(view, u"installProgress"_s));
        QVERIFY(shownByObjectName(view, u"cancelInstall"_s));
        QVERIFY(!shownByObjectName(view, u"downloadTools"_s));
        m_state->setToolsInstalling(false);

        QVERIFY(QDir().mkpath(AppPaths::binDir()) && TestMedia::installTool(u"ffmpeg"_s)
                && TestMedia::installTool(u"ffprobe"_s));
        m_state->setToolsReady(AppPaths::toolsInstalled());
        QCOMPARE(shownText(view, u"toolsStatus"_s), u"ffmpeg and ffprobe are installed."_s);
        QVERIFY(shown<QPushButton>(view, u"Download again"_s));

        shown<QPushButton>(view, u"Remove"_s)->click();
        QVERIFY(!QFile::exists(AppPaths::binDir() + u"/ffmpeg"_s));
        QCOMPARE(shownText(view, u"toolsStatus"_s), u"ffmpeg and ffprobe are not installed yet."_s);
        QCOMPARE(shownText(view, u"toolsMessage"_s), u"ffmpeg and ffprobe were removed."_s);
        QVERIFY(!shown<QPushButton>(view, u"Remove"_s));

        // The system's copy is named with its folder; there is nothing of ours to remove, but the download stays.
        QVERIFY(m_path.writeTools("5.1.6-0+deb12u1", {}));
        FFmpegTools::checkNow();
        m_state->setToolsReady(true);
        QCOMPARE(shownText(view, u"toolsStatus"_s),
                 u"Using ffmpeg 5.1 from the system ("_s + m_pathDir.path() + u")."_s);
        QVERIFY(shown<QPushButton>(view, u"Download ffmpeg and ffprobe"_s));
        QVERIFY(!shown<QPushButton>(view, u"Remove"_s));
        QFile::remove(m_pathDir.path() + u"/ffmpeg"_s);
        QFile::remove(m_pathDir.path() + u"/ffprobe"_s);
    }
};

TRELLICK_TEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
