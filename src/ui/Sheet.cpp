#include "Sheet.h"

#include "Style.h"
#include "core/AppState.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

Sheet::Sheet(AppState* state, const QString& title, const QString& objectName, QWidget* parent)
    : QDialog(parent)
    , m_state(state)
    , m_content(new QVBoxLayout)
    , m_message(Style::label(QString(), Style::Text::callout, this))
    , m_buttons(new QHBoxLayout)
    , m_header(new QHBoxLayout)
{
    setObjectName(objectName);
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(440);
    m_message->setObjectName(u"sheetMessage"_s);
    Style::tint(m_message, Style::red());
    m_message->hide();
    m_content->setSpacing(10);
    m_buttons->setSpacing(8);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 18, 20, 16);
    column->setSpacing(12);
    QLabel* heading = Style::label(title, Style::Text::title3, this);
    heading->setObjectName(u"sheetTitle"_s);
    m_header->setSpacing(8);
    m_header->addWidget(heading, 1);
    column->addLayout(m_header);
    column->addLayout(m_content, 1);
    column->addWidget(m_message);
    column->addLayout(m_buttons);
}

void Sheet::showStateMessage()
{
    auto refresh = [this] {
        const std::optional<QString> message = m_state->message();
        m_message->setText(message.value_or(QString()));
        m_message->setVisible(message.has_value());
    };
    connect(m_state, &AppState::messageChanged, this, refresh);
    refresh();
}

QPushButton* Sheet::addCloseButton(const QString& text)
{
    QPushButton* button = Style::button(text, u"close"_s, this);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, &QDialog::reject);
    m_buttons->addWidget(button);
    return button;
}

QPushButton* Sheet::addDefaultButton(const QString& text, const QString& objectName)
{
    QPushButton* button = Style::button(text, objectName, this);
    button->setDefault(true);
    m_buttons->addWidget(button);
    return button;
}
