#pragma once

#include <QWidget>

class AppState;
class QLabel;

// The large drop target shown while no file is chosen; highlighted while a drag is over the window.
class DropZoneView : public QWidget
{
    Q_OBJECT

public:
    explicit DropZoneView(AppState* state, QWidget* parent = nullptr);

    void setTargeted(bool targeted);
    bool isTargeted() const { return m_targeted; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QColor lineColor() const;
    void updateSymbol();

    AppState* m_state;
    QLabel* m_symbol;
    bool m_targeted = false;
};
