#pragma once

#include "Style.h"

#include <QColor>
#include <QWidget>
#include <optional>

class QLabel;

// A symbol followed by wrapping text, like a label with an icon. Without a colour the symbol takes
// the text's colour and follows palette changes.
class SymbolLabel : public QWidget
{
    Q_OBJECT

public:
    SymbolLabel(const QString& symbol, const QString& text, Style::Text size, QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const;
    // Symbol and text in one colour (green for done, red for failed, orange for warnings).
    void setColor(const QColor& color);
    // Symbol only in a colour of its own (the accent of the notice).
    void setSymbolColor(const QColor& color);
    // Text and symbol in the secondary colour.
    void setSecondary();
    void setSymbolSize(int points);
    QLabel* textLabel() const { return m_text; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateSymbol();

    QString m_symbol;
    QLabel* m_icon;
    QLabel* m_text;
    std::optional<QColor> m_symbolColor;
    int m_size;
};
