#include "RequestEdit.h"

#include <QKeyEvent>
#include <QTextBlock>
#include <algorithm>

RequestEdit::RequestEdit(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setTabChangesFocus(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(this, &QPlainTextEdit::textChanged, this, &RequestEdit::fit);
    fit();
}

int RequestEdit::heightForLines(int lines) const
{
    const QMargins margins = contentsMargins();
    return fontMetrics().lineSpacing() * lines + int(2 * document()->documentMargin()) + margins.top()
        + margins.bottom() + 2;
}

QSize RequestEdit::sizeHint() const
{
    int lines = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next()) {
        lines += std::max(1, block.layout() ? block.layout()->lineCount() : 1);
    }
    return {QPlainTextEdit::sizeHint().width(), heightForLines(std::clamp(lines, 2, 5))};
}

QSize RequestEdit::minimumSizeHint() const
{
    return {100, heightForLines(2)};
}

void RequestEdit::fit()
{
    setFixedHeight(sizeHint().height());
}

void RequestEdit::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && !(event->modifiers() & Qt::ShiftModifier)) {
        event->accept();
        emit submitted();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}
