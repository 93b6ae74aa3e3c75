#pragma once

#include <QPlainTextEdit>

// The multi-line request field: two to five lines tall, growing with its text. Return submits the
// request like the default button of the form; Shift+Return starts a new line.
class RequestEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit RequestEdit(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void submitted();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    int heightForLines(int lines) const;
    void fit();
};
