#include "InfoDialog.h"

#include "Style.h"
#include "core/AppState.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

InfoDialog::InfoDialog(AppState* state, QWidget* parent)
    : Sheet(state, u"Info"_s, u"infoDialog"_s, parent)
{
    auto* inner = new QWidget;
    m_column = new QVBoxLayout(inner);
    m_column->setContentsMargins(0, 0, 8, 0);
    m_column->setSpacing(8);
    for (const QString& path : m_state->files()) {
        QLabel* label = Style::selectable(path, Style::Text::body, inner);
        label->setObjectName(u"infoPath"_s);
        m_column->addWidget(label);
    }
    m_column->addStretch();
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(inner);
    m_scroll->setWidgetResizable(true);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setMaximumHeight(300);
    // Facts probed after the sheet opens join it as they come.
    connect(m_state, &AppState::detailsChanged, this, &InfoDialog::showDetails);
    showDetails();
    content()->addWidget(m_scroll);
    content()->addWidget(Style::label(u"The command that shows the same details:"_s, Style::Text::callout, this));
    const QString command = m_state->infoCommand();
    QLabel* commandText = Style::selectable(command, Style::Text::body, this);
    commandText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    commandText->setObjectName(u"infoCommand"_s);
    content()->addWidget(commandText);
    QPushButton* copy = Style::button(u"Copy command"_s, u"copyCommand"_s, this);
    copy->setAutoDefault(false);
    connect(copy, &QPushButton::clicked, this, [command] { QGuiApplication::clipboard()->setText(command); });
    buttons()->addWidget(copy);
    buttons()->addStretch();
    addCloseButton(u"Close"_s)->setDefault(true);
}

void InfoDialog::showDetails()
{
    auto* shown = new QWidget;
    if (const std::optional<FileDetails> details = m_state->details()) {
        auto* grid = new QGridLayout(shown);
        grid->setContentsMargins(0, 0, 0, 0);
        grid->setHorizontalSpacing(8);
        grid->setVerticalSpacing(4);
        grid->setColumnMinimumWidth(0, 110);
        grid->setColumnStretch(1, 1);
        addRow(grid, u"Name"_s, details->name);
        addRow(grid, u"Kind"_s, details->kindText);
        addRow(grid, u"Size"_s, details->sizeText);
        for (const FactLine& line : details->facts.lines()) {
            addRow(grid, line.label, line.value);
        }
        if (!details->facts.source.isEmpty()) {
            addRow(grid, u"Read with"_s, details->facts.source);
        }
    }
    if (m_details) {
        delete m_column->replaceWidget(m_details, shown);
        delete m_details;
    } else {
        m_column->insertWidget(m_column->count() - 1, shown);
    }
    m_details = shown;
    m_scroll->setMinimumHeight(std::min(300, m_scroll->widget()->sizeHint().height()));
}

void InfoDialog::addRow(QGridLayout* grid, const QString& label, const QString& value)
{
    const int row = grid->rowCount();
    QLabel* name = Style::label(label, Style::Text::body);
    Style::secondary(name);
    name->setWordWrap(false);
    grid->addWidget(name, row, 0, Qt::AlignTop);
    QLabel* text = Style::selectable(value, Style::Text::body);
    text->setObjectName(u"info_"_s + label);
    grid->addWidget(text, row, 1);
}
