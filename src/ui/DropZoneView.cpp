#include "DropZoneView.h"

#include "Style.h"
#include "Symbols.h"
#include "core/AppState.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
constexpr int symbolSize = 52;
}

DropZoneView::DropZoneView(AppState* state, QWidget* parent)
    : QWidget(parent)
    , m_state(state)
    , m_symbol(new QLabel(this))
{
    setObjectName(u"dropZone"_s);
    setMinimumHeight(260);
    QLabel* title = Style::label(u"Drop a file here, or choose one"_s, Style::Text::title2, this);
    title->setAlignment(Qt::AlignCenter);
    QPushButton* open = Style::button(u"Open..."_s, u"openFiles"_s, this);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch();
    buttons->addWidget(open);
    buttons->addStretch();
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(14);
    column->addStretch();
    column->addWidget(m_symbol, 0, Qt::AlignHCenter);
    column->addWidget(title);
    column->addLayout(buttons);
    column->addStretch();
    updateSymbol();

    connect(open, &QPushButton::clicked, m_state, &AppState::chooseFiles);
}

void DropZoneView::setTargeted(bool targeted)
{
    if (m_targeted == targeted) {
        return;
    }
    m_targeted = targeted;
    updateSymbol();
    update();
}

QColor DropZoneView::lineColor() const
{
    return m_targeted ? palette().color(QPalette::Highlight) : palette().color(QPalette::PlaceholderText);
}

void DropZoneView::updateSymbol()
{
    const QIcon icon = Symbols::colored(u"tray.and.arrow.down"_s, lineColor());
    m_symbol->setPixmap(icon.pixmap(QSize(symbolSize, symbolSize), devicePixelRatioF()));
}

void DropZoneView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange) {
        updateSymbol();
    }
    QWidget::changeEvent(event);
}

void DropZoneView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(lineColor(), 2);
    // Dashes of 9 points; Qt counts dash lengths in pen widths.
    pen.setDashPattern({9.0 / 2, 9.0 / 2});
    painter.setPen(pen);
    if (m_targeted) {
        QColor fill = palette().color(QPalette::Highlight);
        fill.setAlphaF(0.08f);
        painter.setBrush(fill);
    }
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 18, 18);
}
