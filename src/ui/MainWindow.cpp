#include "MainWindow.h"

#include "FileDialogOpenPanel.h"
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
    m_state->setOpenPanel(std::make_unique<FileDialogOpenPanel>(this));
}
