#include "HistoryView.h"

#include "RoundedBox.h"
#include "Style.h"
#include "core/AppState.h"
#include "files/Format.h"
#include "store/HistoryStore.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

HistoryView::HistoryView(AppState* state, QWidget* parent)
    : Sheet(state, u"History (last 20)"_s, u"historyView"_s, parent)
    , m_list(new QWidget)
    , m_listLayout(new QVBoxLayout(m_list))
    , m_clear(Style::button(u"Clear all"_s, u"clearHistory"_s, this))
{
    setMinimumSize(560, 480);
    m_listLayout->setContentsMargins(0, 0, 8, 0);
    m_listLayout->setSpacing(10);
    auto* scroll = new QScrollArea(this);
    scroll->setWidget(m_list);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    content()->addWidget(scroll, 1);
    m_clear->setAutoDefault(false);
    QPushButton* done = Style::button(u"Done"_s, u"done"_s, this);
    done->setDefault(true);
    header()->addWidget(m_clear);
    header()->addWidget(done);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_clear, &QPushButton::clicked, this, [this] { m_state->history().clear(); });
    connect(&m_state->history(), &HistoryStore::entriesChanged, this, &HistoryView::rebuild);
    rebuild();
}

void HistoryView::rebuild()
{
    Style::clear(m_listLayout);
    const QList<HistoryEntry> entries = m_state->history().entries();
    m_clear->setVisible(!entries.isEmpty());
    if (entries.isEmpty()) {
        QLabel* empty = Style::label(u"Nothing yet. Finished actions show up here."_s, Style::Text::body, m_list);
        empty->setObjectName(u"historyEmpty"_s);
        Style::secondary(empty);
        m_listLayout->addWidget(empty);
    }
    for (const HistoryEntry& entry : entries) {
        auto* card = new RoundedBox(10, RoundedBox::Fill::outline, m_list);
        card->setObjectName(u"historyEntry"_s);
        QLabel* name = Style::label(entry.fileName, Style::Text::body, card);
        QFont bold = name->font();
        bold.setBold(true);
        name->setFont(bold);
        QLabel* date = Style::label(Format::dateAndTime(entry.date.toLocalTime()), Style::Text::caption, card);
        date->setWordWrap(false);
        Style::secondary(date);
        auto* top = new QHBoxLayout;
        top->addWidget(name, 1);
        top->addWidget(date, 0, Qt::AlignTop);
        QLabel* command = Style::selectable(entry.command, Style::Text::body, card);
        command->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        QLabel* result = Style::label(entry.result, Style::Text::caption, card);
        Style::secondary(result);
        QPushButton* rerun = Style::button(u"Re-run"_s, u"rerun"_s, card);
        rerun->setAccessibleName(u"Re-run "_s + entry.fileName);
        rerun->setEnabled(entry.option.has_value());
        rerun->setAutoDefault(false);
        QPushButton* remove = Style::button(u"Delete"_s, u"deleteEntry"_s, card);
        remove->setAccessibleName(u"Delete "_s + entry.fileName);
        remove->setAutoDefault(false);
        auto* actions = new QHBoxLayout;
        actions->addWidget(rerun);
        actions->addWidget(remove);
        actions->addStretch();
        auto* column = new QVBoxLayout(card);
        column->setContentsMargins(12, 10, 12, 10);
        column->setSpacing(6);
        column->addLayout(top);
        column->addWidget(Style::label(u"Request: "_s + entry.request, Style::Text::callout, card));
        column->addWidget(command);
        column->addWidget(result);
        column->addLayout(actions);
        connect(rerun, &QPushButton::clicked, m_state, [this, entry] { m_state->rerun(entry); });
        connect(remove, &QPushButton::clicked, m_state, [this, entry] { m_state->history().remove(entry); });
        m_listLayout->addWidget(card);
    }
    m_listLayout->addStretch();
}
