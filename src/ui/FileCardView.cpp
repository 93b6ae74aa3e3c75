#include "FileCardView.h"

#include "AdaptiveGridLayout.h"
#include "PlayerView.h"
#include "Style.h"
#include "Symbols.h"
#include "core/AppState.h"

#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
constexpr int iconSize = 56;
}

FileCardView::FileCardView(AppState* state, QWidget* parent)
    : RoundedBox(12, Fill::secondary, parent)
    , m_state(state)
    , m_icon(new QLabel(this))
    , m_title(Style::selectable(QString(), Style::Text::title3, this))
    , m_subtitle(Style::label(QString(), Style::Text::body, this))
    , m_facts(new QWidget(this))
    , m_factsLayout(new AdaptiveGridLayout(170, 12, 2, m_facts))
{
    setObjectName(u"fileCard"_s);
    m_icon->setFixedSize(iconSize, iconSize);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_title->setObjectName(u"fileCardTitle"_s);
    m_subtitle->setObjectName(u"fileCardSubtitle"_s);

    // Centred by alignment, not by stretches: a stretch would make the whole card take a share of
    // the window's spare height.
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(m_title);
    texts->addWidget(m_subtitle);
    auto* header = new QHBoxLayout;
    header->setSpacing(12);
    header->addWidget(m_icon, 0, Qt::AlignTop);
    header->addLayout(texts, 1);
    header->setAlignment(texts, Qt::AlignVCenter);

    QPushButton* another = Style::button(u"Choose another..."_s, u"chooseAnother"_s, this);
    QPushButton* clear = Style::button(u"Clear"_s, u"clearFiles"_s, this);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(another);
    buttons->addWidget(clear);
    buttons->addStretch();

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(12);
    column->addLayout(header);
    column->addWidget(m_facts);
    m_column = column;
    column->addLayout(buttons);

    connect(another, &QPushButton::clicked, m_state, &AppState::chooseFiles);
    connect(clear, &QPushButton::clicked, m_state, &AppState::clearFiles);
    connect(m_state, &AppState::playerChanged, this, &FileCardView::refreshPlayer);
    refreshPlayer();
    connect(m_state, &AppState::detailsChanged, this, &FileCardView::refresh);
    connect(m_state, &AppState::filesChanged, this, &FileCardView::refresh);
    refresh();
}

void FileCardView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        refresh();
    }
    RoundedBox::changeEvent(event);
}

void FileCardView::refresh()
{
    const std::optional<FileDetails> details = m_state->details();
    if (!details) {
        return;
    }
    const QStringList files = m_state->files();
    const QIcon icon = Symbols::fileIcon(details->iconName, details->kind, palette().color(QPalette::WindowText));
    m_icon->setPixmap(icon.pixmap(QSize(iconSize, iconSize), devicePixelRatioF()));
    if (files.size() > 1) {
        QStringList names;
        for (const QString& path : files) {
            names.append(QFileInfo(path).fileName());
        }
        m_title->setText(QString::number(files.size()) + u" files"_s);
        m_subtitle->setText(names.join(u", "_s));
        m_subtitle->setFont(Style::font(Style::Text::caption));
    } else {
        m_title->setText(details->name);
        m_subtitle->setText(details->kindText + u" · "_s + details->sizeText);
        m_subtitle->setFont(Style::font(Style::Text::body));
    }
    Style::secondary(m_subtitle);
    refreshFacts();
}

void FileCardView::refreshPlayer()
{
    // The player view, and with it the multimedia back end, is made only when a file needs it, so
    // that starting the application does not pay for it.
    if (!m_player && m_state->player()) {
        m_player = new PlayerView(m_state, this);
        m_column->insertWidget(m_column->indexOf(m_facts) + 1, m_player);
    }
    if (m_player) {
        m_player->setVisible(m_state->player() != nullptr);
    }
}

void FileCardView::refreshFacts()
{
    Style::clear(m_factsLayout);
    const std::optional<FileDetails> details = m_state->details();
    for (const FactLine& line : details ? details->facts.lines() : QList<FactLine>()) {
        QLabel* fact = Style::label(line.label + u": "_s + line.value, Style::Text::caption, m_facts);
        fact->setObjectName(u"fact"_s);
        Style::secondary(fact);
        m_factsLayout->addWidget(fact);
    }
    m_facts->setVisible(m_factsLayout->count() > 0);
}
