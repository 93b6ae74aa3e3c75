#include "MainWindow.h"

#include "core/AppState.h"

#include <QLabel>

MainWindow::MainWindow(AppState* state, QWidget* parent)
    : QMainWindow(parent)
    , m_state(state)
{
    setWindowTitle(QStringLiteral("Trellick"));
    setMinimumSize(760, 680);
    auto* label = new QLabel(QStringLiteral("Drop a file here"), this);
    label->setAlignment(Qt::AlignCenter);
    setCentralWidget(label);
}
