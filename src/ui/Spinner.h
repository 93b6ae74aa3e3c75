#pragma once

#include <QTimer>
#include <QWidget>

// A small spinning progress indicator; it animates only while it is visible.
class Spinner : public QWidget
{
    Q_OBJECT

public:
    explicit Spinner(int size, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer m_timer;
    int m_size;
    int m_angle = 0;
};
