#pragma once

#include <QWidget>

// A plain container painted as a filled rounded rectangle; the fill follows the palette.
class RoundedBox : public QWidget
{
    Q_OBJECT

public:
    enum class Fill { secondary, window, outline };

    RoundedBox(int radius, Fill fill, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_radius;
    Fill m_fill;
};
