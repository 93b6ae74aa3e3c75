#include "RenameDialog.h"

#include "CollapsibleSection.h"
#include "Style.h"
#include "ai/AIPrompts.h"
#include "ai/NameSuggestJob.h"
#include "core/AppState.h"
#include "store/AISettings.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

RenameDialog::RenameDialog(AppState* state, QWidget* parent)
    : Sheet(state, u"Rename"_s, u"renameDialog"_s, parent)
    , m_keepCopy(new QCheckBox(u"Keep the original (save a renamed copy)"_s, this))
    , m_request(new QLineEdit(this))
    , m_suggest(Style::button(u"Suggest"_s, u"suggest"_s, this))
    , m_sentText(new QPlainTextEdit(this))
    , m_problem(Style::label(QString(), Style::Text::callout, this))
{
    m_state->setMessage(std::nullopt);
    const QStringList files = m_state->files();

    auto* list = new QWidget;
    auto* rows = new QVBoxLayout(list);
    rows->setContentsMargins(0, 0, 8, 0);
    rows->setSpacing(6);
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString current = QFileInfo(files[i]).fileName();
        QLabel* currentName = Style::label(current, Style::Text::caption, list);
        Style::secondary(currentName);
        auto* field = new QLineEdit(current, list);
        field->setPlaceholderText(u"New name"_s);
        field->setClearButtonEnabled(true);
        Style::name(field, u"New name for "_s + current, u"newName"_s + QString::number(i));
        rows->addWidget(currentName);
        rows->addWidget(field);
        m_nameFields.append(field);
    }
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(list);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setMaximumHeight(240);
    scroll->setMinimumHeight(std::min(240, list->sizeHint().height()));
    content()->addWidget(scroll);

    Style::name(m_keepCopy, m_keepCopy->text(), u"keepCopy"_s);
    content()->addWidget(m_keepCopy);
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    content()->addWidget(divider);
    content()->addWidget(
        Style::label(u"Need help with the name? Describe it and the AI suggests one."_s, Style::Text::callout, this));

    m_request->setPlaceholderText(u"For example: make it lower case and add today's date"_s);
    Style::name(m_request, u"Naming request"_s, u"renameRequest"_s);
    m_suggest->setAutoDefault(false);
    auto* suggestRow = new QHBoxLayout;
    suggestRow->setSpacing(8);
    suggestRow->addWidget(m_request, 1);
    suggestRow->addWidget(m_suggest);
    content()->addLayout(suggestRow);

    m_sentText->setReadOnly(true);
    m_sentText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_sentText->setMinimumHeight(140);
    m_sentText->setMaximumHeight(220);
    Style::name(m_sentText, u"What will be sent"_s, u"sentText"_s);
    m_sent = new CollapsibleSection(u"What will be sent"_s, u"showSent"_s, m_sentText, this);
    content()->addWidget(m_sent);

    m_problem->setObjectName(u"problem"_s);
    Style::tint(m_problem, Style::red());
    m_problem->hide();
    content()->addWidget(m_problem);
    showStateMessage();

    buttons()->addStretch();
    addCloseButton(u"Cancel"_s);
    QPushButton* preview = addDefaultButton(u"Preview"_s, u"preview"_s);
    connect(preview, &QPushButton::clicked, m_state, [this] { m_state->prepareRename(names(), keepCopy()); });
    connect(m_request, &QLineEdit::textChanged, this, &RenameDialog::refreshSuggest);
    connect(m_request, &QLineEdit::textChanged, this, &RenameDialog::refreshSent);
    connect(m_suggest, &QPushButton::clicked, this, &RenameDialog::suggest);
    connect(m_sent, &CollapsibleSection::expandedChanged, this, &RenameDialog::refreshSent);
    AISettings& settings = m_state->settings();
    connect(&settings, &AISettings::providerChanged, this, &RenameDialog::refreshSent);
    connect(&settings, &AISettings::ollamaModelChanged, this, &RenameDialog::refreshSent);
    refreshSuggest();
}

RenameDialog::~RenameDialog()
{
    // A suggestion still under way ends with the dialog; its answer has nowhere to go.
    if (m_job) {
        m_job->disconnect(this);
        delete m_job;
    }
}

QStringList RenameDialog::names() const
{
    QStringList names;
    for (const QLineEdit* field : m_nameFields) {
        names.append(field->text());
    }
    return names;
}

bool RenameDialog::keepCopy() const
{
    return m_keepCopy->isChecked();
}

void RenameDialog::suggest()
{
    const std::optional<AIChannel> channel = m_state->settings().channel();
    if (!channel) {
        setProblem(u"AI is not set up. "_s + m_state->settings().setupHint());
        return;
    }
    m_busy = true;
    setProblem(QString());
    refreshSuggest();
    // The job belongs to this dialog: closing the dialog ends the request.
    auto* job = new NameSuggestJob(*channel, m_state->settings().endpoints(), m_request->text().trimmed(),
                                   m_state->files(), this);
    m_job = job;
    connect(job, &NameSuggestJob::finished, this, [this, job](const NamesOutcome& outcome) {
        job->deleteLater();
        if (outcome.ok()) {
            for (qsizetype i = 0; i < m_nameFields.size() && i < outcome.value().size(); ++i) {
                m_nameFields[i]->setText(outcome.value().at(i));
            }
        } else if (outcome.error().kind != ErrorKind::cancelled) {
            setProblem(outcome.error().message);
        }
        m_busy = false;
        refreshSuggest();
    });
    job->start();
}

void RenameDialog::setProblem(const QString& problem)
{
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
}

void RenameDialog::refreshSent()
{
    if (!m_sent->isExpanded()) {
        return;
    }
    const QString request = m_request->text().trimmed();
    m_sentText->setPlainText(
        AIPrompts::preview(m_state->providerLabel(), AIPrompts::renameSystem(),
                           AIPrompts::renameUser(request.isEmpty() ? u"(your request)"_s : request, m_state->files())));
}

void RenameDialog::refreshSuggest()
{
    const QString text = m_busy ? u"Asking..."_s : u"Suggest"_s;
    m_suggest->setText(text);
    m_suggest->setAccessibleName(text);
    m_suggest->setEnabled(!m_busy && !m_request->text().trimmed().isEmpty());
}
