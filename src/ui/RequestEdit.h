#pragma once

#include <QPlainTextEdit>

// The multi-line request field: two to five lines tall, growing with its text. Return is left to the
// window's default button (Ask AI); Shift+Return starts a new line.
class RequestEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit RequestEdit(QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

private:
    int heightForLines(int lines) const;
    void fit();
};
