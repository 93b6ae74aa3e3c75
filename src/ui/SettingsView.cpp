#include "SettingsView.h"

#include "RoundedBox.h"
#include "Style.h"
#include "SymbolLabel.h"
#include "base/AppPaths.h"
#include "base/FFmpegTools.h"
#include "core/AppState.h"
#include "exec/ToolInstaller.h"
#include "files/Format.h"
#include "platform/SandboxSupport.h"
#include "store/AISettings.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QString providerTitle(AIProviderKind kind)
{
    switch (kind) {
    case AIProviderKind::openRouter:
        return u"OpenRouter (free models)"_s;
    case AIProviderKind::ollama:
        return u"Ollama (on this computer)"_s;
    case AIProviderKind::apple:
        return u"Apple on-device"_s;
    }
    Q_UNREACHABLE();
}

// A status line that takes no room while it has nothing to say.
void showText(QLabel* label, const QString& text)
{
    label->setText(text);
    label->setVisible(!text.isEmpty());
}

// A button whose text follows the state; a screen reader reads what is written on it.
void relabel(QPushButton* button, const QString& text)
{
    button->setText(text);
    button->setAccessibleName(text);
}

QPushButton* rowButton(const QString& text, const QString& objectName, QWidget* parent)
{
    QPushButton* button = Style::button(text, objectName, parent);
    // Return stays with "Done", wherever the focus is.
    button->setAutoDefault(false);
    return button;
}

QVBoxLayout* column(QWidget* widget)
{
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    return layout;
}

QVBoxLayout* groupColumn(QWidget* box)
{
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(12, 10, 12, 12);
    layout->setSpacing(8);
    return layout;
}

} // namespace

SettingsView::SettingsView(AppState* state, QWidget* parent)
    : Sheet(state, u"Settings"_s, u"settingsView"_s, parent)
    , m_settings(state->settings())
{
    setMinimumSize(560, 520);
    QPushButton* done = Style::button(u"Done"_s, u"done"_s, this);
    done->setDefault(true);
    header()->addWidget(done);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);

    auto* groups = new QWidget;
    QVBoxLayout* layout = column(groups);
    layout->setContentsMargins(0, 0, 8, 0);
    layout->setSpacing(6);
    const QList<std::pair<QString, void (SettingsView::*)(QWidget*)>> sections{
        {u"AI to use"_s, &SettingsView::fillAIGroup},
        {u"Tools"_s, &SettingsView::fillToolsGroup},
        {u"Privacy"_s, &SettingsView::fillPrivacyGroup},
    };
    for (const auto& [title, fill] : sections) {
        QLabel* heading = Style::label(title, Style::Text::headline, groups);
        auto* box = new RoundedBox(10, RoundedBox::Fill::outline, groups);
        box->setAccessibleName(title);
        (this->*fill)(box);
        layout->addWidget(heading);
        layout->addWidget(box);
        layout->addSpacing(6);
    }
    layout->addStretch();
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(groups);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    content()->addWidget(scroll, 1);

    refreshProvider();
    refreshOpenRouter();
    refreshOllama();
    refreshTools();
    // Only opening the window on Ollama looks for it; choosing Ollama here leaves that to the button.
    if (m_settings.provider() == AIProviderKind::ollama) {
        m_settings.refreshOllama();
    }
}

void SettingsView::fillAIGroup(QWidget* box)
{
    QVBoxLayout* layout = groupColumn(box);

    m_provider = new QComboBox(box);
    for (const AIProviderKind kind : AISettings::offeredProviders()) {
        m_provider->addItem(providerTitle(kind), QVariant::fromValue(kind));
    }
    Style::name(m_provider, u"AI provider"_s, u"provider"_s);
    QLabel* caption = Style::label(u"Provider:"_s, Style::Text::body, box);
    caption->setWordWrap(false);
    caption->setBuddy(m_provider);
    auto* pickerRow = new QHBoxLayout;
    pickerRow->setSpacing(8);
    pickerRow->addWidget(caption);
    pickerRow->addWidget(m_provider);
    pickerRow->addStretch();
    layout->addLayout(pickerRow);

    m_openRouter = openRouterSection();
    m_ollama = ollamaSection();
    m_apple = Style::label(QString(), Style::Text::callout, box);
    m_apple->setObjectName(u"appleAvailability"_s);
    m_lastModel = Style::label(QString(), Style::Text::caption, box);
    m_lastModel->setObjectName(u"lastModel"_s);
    Style::secondary(m_lastModel);
    m_openRouter->setParent(box);
    m_ollama->setParent(box);
    layout->addWidget(m_openRouter);
    layout->addWidget(m_ollama);
    layout->addWidget(m_apple);
    layout->addWidget(m_lastModel);

    connect(m_provider, &QComboBox::activated, this,
            [this](int index) { m_settings.setProvider(m_provider->itemData(index).value<AIProviderKind>()); });
    connect(&m_settings, &AISettings::providerChanged, this, &SettingsView::refreshProvider);
    connect(&m_settings, &AISettings::lastModelChanged, this, &SettingsView::refreshProvider);
}

QWidget* SettingsView::openRouterSection()
{
    auto* section = new QWidget;
    section->setObjectName(u"openRouterSection"_s);
    QVBoxLayout* layout = column(section);
    layout->addWidget(Style::label(u"Sign in with OpenRouter. Trellick then tries free models one after another "
                                   "until one gives a usable answer and shows which one it was."_s,
                                   Style::Text::body, section));

    m_signedIn = new SymbolLabel(u"checkmark.circle.fill"_s, u"Signed in"_s, Style::Text::body, section);
    m_signedIn->setObjectName(u"signedIn"_s);
    m_signedIn->setColor(Style::green());
    m_signedIn->textLabel()->setWordWrap(false);
    m_signOut = rowButton(u"Sign out"_s, u"signOut"_s, section);
    m_signIn = rowButton(u"Sign in"_s, u"signIn"_s, section);
    QPushButton* freeModels = rowButton(u"Show free models"_s, u"showFreeModels"_s, section);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(m_signedIn, 0, Qt::AlignVCenter);
    row->addWidget(m_signOut);
    row->addWidget(m_signIn);
    row->addWidget(freeModels);
    row->addStretch();
    layout->addLayout(row);

    m_notice = Style::label(QString(), Style::Text::callout, section);
    m_notice->setObjectName(u"signInNotice"_s);
    m_freeModels = Style::selectable(QString(), Style::Text::callout, section);
    m_freeModels->setObjectName(u"freeModelNote"_s);
    layout->addWidget(m_notice);
    layout->addWidget(m_freeModels);

    connect(m_signIn, &QPushButton::clicked, &m_settings, &AISettings::signIn);
    connect(m_signOut, &QPushButton::clicked, &m_settings, &AISettings::signOut);
    connect(freeModels, &QPushButton::clicked, &m_settings, &AISettings::checkFreeModels);
    for (auto changed : {&AISettings::signedInChanged, &AISettings::busyChanged, &AISettings::noticeChanged,
                         &AISettings::freeModelNoteChanged}) {
        connect(&m_settings, changed, this, &SettingsView::refreshOpenRouter);
    }
    return section;
}

QWidget* SettingsView::ollamaSection()
{
    auto* section = new QWidget;
    section->setObjectName(u"ollamaSection"_s);
    QVBoxLayout* layout = column(section);
    layout->addWidget(Style::label(u"Ollama runs models on this computer. Nothing is sent over the internet."_s,
                                   Style::Text::callout, section));

    QPushButton* look = rowButton(u"Look for Ollama"_s, u"lookForOllama"_s, section);
    m_modelPicker = new QWidget(section);
    m_model = new QComboBox(m_modelPicker);
    m_model->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Style::name(m_model, u"Model"_s, u"ollamaModel"_s);
    QLabel* caption = Style::label(u"Model"_s, Style::Text::body, m_modelPicker);
    caption->setWordWrap(false);
    caption->setBuddy(m_model);
    auto* picker = new QHBoxLayout(m_modelPicker);
    picker->setContentsMargins(8, 0, 0, 0);
    picker->setSpacing(8);
    picker->addWidget(caption);
    picker->addWidget(m_model);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    row->addWidget(look);
    row->addWidget(m_modelPicker);
    row->addStretch();
    layout->addLayout(row);

    m_ollamaNotice = Style::label(QString(), Style::Text::callout, section);
    m_ollamaNotice->setObjectName(u"ollamaNotice"_s);
    Style::secondary(m_ollamaNotice);
    m_savedModel = Style::label(QString(), Style::Text::caption, section);
    m_savedModel->setObjectName(u"savedModel"_s);
    layout->addWidget(m_ollamaNotice);
    layout->addWidget(m_savedModel);

    connect(look, &QPushButton::clicked, &m_settings, &AISettings::refreshOllama);
    connect(m_model, &QComboBox::activated, this,
            [this](int index) { m_settings.setOllamaModel(m_model->itemText(index)); });
    for (auto changed :
         {&AISettings::ollamaModelsChanged, &AISettings::ollamaModelChanged, &AISettings::ollamaNoticeChanged}) {
        connect(&m_settings, changed, this, &SettingsView::refreshOllama);
    }
    return section;
}

void SettingsView::fillToolsGroup(QWidget* box)
{
    QVBoxLayout* layout = groupColumn(box);

    m_toolsStatus = Style::label(QString(), Style::Text::body, box);
    m_toolsStatus->setObjectName(u"toolsStatus"_s);
    layout->addWidget(m_toolsStatus);
    QLabel* explanation = Style::label(
        u"Only video, audio conversions to mp3 and webp pictures need them. They are downloaded once into "_s
            + Format::homeRelative(AppPaths::binDir())
            + u", checked against the checksum published next to the download, and never bundled in the app. "
              "Source: "_s
            + ToolInstaller::sourceDescription() + u"; check the release's license notes."_s,
        Style::Text::callout, box);
    explanation->setObjectName(u"toolsSource"_s);
    Style::secondary(explanation);
    layout->addWidget(explanation);
    QLabel* sandbox = Style::label(SandboxSupport::current().sentence(), Style::Text::callout, box);
    sandbox->setObjectName(u"sandboxSentence"_s);
    Style::secondary(sandbox);
    layout->addWidget(sandbox);

    m_progressRow = new QWidget(box);
    m_progress = new QProgressBar(m_progressRow);
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    Style::name(m_progress, u"Download progress"_s, u"installProgress"_s);
    m_installText = Style::label(QString(), Style::Text::caption, m_progressRow);
    m_installText->setObjectName(u"installText"_s);
    Style::secondary(m_installText);
    QPushButton* cancel = rowButton(u"Cancel"_s, u"cancelInstall"_s, m_progressRow);
    auto* progressRow = new QHBoxLayout(m_progressRow);
    progressRow->setContentsMargins(0, 0, 0, 0);
    progressRow->setSpacing(8);
    progressRow->addWidget(m_progress, 1);
    progressRow->addWidget(m_installText, 1);
    progressRow->addWidget(cancel);
    layout->addWidget(m_progressRow);

    m_toolsRow = new QWidget(box);
    m_download = rowButton(QString(), u"downloadTools"_s, m_toolsRow);
    m_remove = rowButton(u"Remove"_s, u"removeTools"_s, m_toolsRow);
    auto* toolsRow = new QHBoxLayout(m_toolsRow);
    toolsRow->setContentsMargins(0, 0, 0, 0);
    toolsRow->setSpacing(8);
    toolsRow->addWidget(m_download);
    toolsRow->addWidget(m_remove);
    toolsRow->addStretch();
    layout->addWidget(m_toolsRow);

    m_toolsMessage = Style::label(QString(), Style::Text::callout, box);
    m_toolsMessage->setObjectName(u"toolsMessage"_s);
    layout->addWidget(m_toolsMessage);

    connect(cancel, &QPushButton::clicked, this, [this] { m_state->installer().cancel(); });
    connect(m_download, &QPushButton::clicked, m_state, &AppState::installToolsNow);
    connect(m_remove, &QPushButton::clicked, m_state, &AppState::removeTools);
    for (auto changed :
         {&AppState::toolsReadyChanged, &AppState::toolsInstallingChanged, &AppState::installFractionChanged,
          &AppState::installTextChanged, &AppState::toolsMessageChanged}) {
        connect(m_state, changed, this, &SettingsView::refreshTools);
    }
}

void SettingsView::fillPrivacyGroup(QWidget* box)
{
    groupColumn(box)->addWidget(Style::label(
        u"Nothing leaves this computer except the request text you type plus the file's name, extension, size and "
        "basic facts, sent to the AI you choose above. Files are never uploaded. Your OpenRouter key is kept in "
        "your keyring."_s,
        Style::Text::body, box));
}

void SettingsView::refreshProvider()
{
    const AIProviderKind provider = m_settings.provider();
    m_provider->setCurrentIndex(m_provider->findData(QVariant::fromValue(provider)));
    m_openRouter->setVisible(provider == AIProviderKind::openRouter);
    m_ollama->setVisible(provider == AIProviderKind::ollama);
    // The on-device model's availability texts are the settings' hint for it, word for word.
    showText(m_apple, provider == AIProviderKind::apple ? m_settings.setupHint() : QString());
    const QString lastModel = m_settings.lastModel();
    showText(m_lastModel, lastModel.isEmpty() ? QString() : u"Last answer came from: "_s + lastModel);
}

void SettingsView::refreshOpenRouter()
{
    const bool signedIn = m_settings.signedIn();
    m_signedIn->setVisible(signedIn);
    m_signOut->setVisible(signedIn);
    m_signIn->setVisible(!signedIn);
    relabel(m_signIn, m_settings.busy() ? u"Waiting for the browser..."_s : u"Sign in"_s);
    m_signIn->setEnabled(!m_settings.busy());
    showText(m_notice, m_settings.notice());
    showText(m_freeModels, m_settings.freeModelNote());
}

void SettingsView::refreshOllama()
{
    const QStringList models = m_settings.ollamaModels();
    const QString chosen = m_settings.ollamaModel();
    QStringList listed;
    for (int i = 0; i < m_model->count(); ++i) {
        listed.append(m_model->itemText(i));
    }
    if (listed != models) {
        m_model->clear();
        m_model->addItems(models);
    }
    m_model->setCurrentIndex(int(models.indexOf(chosen)));
    m_modelPicker->setVisible(!models.isEmpty());
    showText(m_ollamaNotice, m_settings.ollamaNotice());
    showText(m_savedModel, models.isEmpty() && !chosen.isEmpty() ? u"Saved model: "_s + chosen : QString());
}

void SettingsView::refreshTools()
{
    const bool installing = m_state->toolsInstalling();
    const std::optional<FFmpegPair> tools = m_state->toolsReady() ? FFmpegTools::chosen() : std::nullopt;
    // Download and Remove are about the program's own copy; a system copy in use still leaves Download.
    const bool ready = tools && !tools->fromSystem;
    if (tools && tools->fromSystem) {
        const QString version = FFmpegTools::shortVersion(FFmpegTools::version(tools->ffmpeg));
        m_toolsStatus->setText(u"Using ffmpeg "_s + (version.isEmpty() ? QString() : version + u' ')
                               + u"from the system ("_s + QFileInfo(tools->ffmpeg).absolutePath() + u")."_s);
    } else {
        m_toolsStatus->setText(ready ? u"ffmpeg and ffprobe are installed."_s
                                     : u"ffmpeg and ffprobe are not installed yet."_s);
    }
    m_progressRow->setVisible(installing);
    m_progress->setValue(int(std::clamp(m_state->installFraction(), 0.0, 1.0) * 1000));
    m_installText->setText(m_state->installText());
    m_toolsRow->setVisible(!installing);
    relabel(m_download, ready ? u"Download again"_s : u"Download ffmpeg and ffprobe"_s);
    m_remove->setVisible(ready);
    showText(m_toolsMessage, m_state->toolsMessage());
}
