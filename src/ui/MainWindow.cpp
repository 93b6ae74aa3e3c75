#include "MainWindow.h"

#include "ContentView.h"
#include "DialogRouter.h"
#include "FileDialogOpenPanel.h"
#include "Style.h"
#include "Symbols.h"
#include "core/AppState.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QScrollArea>
#include <QToolBar>

using namespace Qt::StringLiterals;

namespace {

bool hasFileUrls(const QMimeData* data)
{
    const QList<QUrl> urls = data->urls();
    return std::any_of(urls.begin(), urls.end(), [](const QUrl& url) { return url.isLocalFile(); });
}

} // namespace

MainWindow::MainWindow(AppState* state, QWidget* parent)
    : QMainWindow(parent)
    , m_state(state)
    , m_content(new ContentView(state))
    , m_router(nullptr)
{
    setWindowTitle(u"Trellick"_s);
    setMinimumSize(760, 680);
    m_state->setOpenPanel(std::make_unique<FileDialogOpenPanel>(this));
    setAcceptDrops(true);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(u"contentScroll"_s);
    scroll->setWidget(m_content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setCentralWidget(scroll);

    QToolBar* toolbar = addToolBar(u"Toolbar"_s);
    toolbar->setObjectName(u"toolbar"_s);
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar->setIconSize(QSize(18, 18));
    toolbar->toggleViewAction()->setEnabled(false);
    auto* spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    const QColor tint = palette().color(QPalette::ButtonText);
    QAction* history = toolbar->addAction(Symbols::icon(u"clock.arrow.circlepath"_s, tint), u"History"_s);
    QAction* settings = toolbar->addAction(Symbols::icon(u"gearshape"_s, tint), u"Settings"_s);
    Style::name(toolbar->widgetForAction(history), u"History"_s, u"showHistory"_s);
    Style::name(toolbar->widgetForAction(settings), u"Settings"_s, u"showSettings"_s);
    connect(history, &QAction::triggered, m_state, [this] { m_state->setDialog(DialogKind::history); });
    connect(settings, &QAction::triggered, m_state, [this] { m_state->setDialog(DialogKind::settings); });

    m_router = new DialogRouter(state, this);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (hasFileUrls(event->mimeData())) {
        event->acceptProposedAction();
        m_content->setTargeted(true);
    }
}

void MainWindow::dragLeaveEvent(QDragLeaveEvent* event)
{
    m_content->setTargeted(false);
    QMainWindow::dragLeaveEvent(event);
}

void MainWindow::dropEvent(QDropEvent* event)
{
    m_content->setTargeted(false);
    if (!hasFileUrls(event->mimeData())) {
        return;
    }
    event->acceptProposedAction();
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths.append(url.toLocalFile());
        }
    }
    m_state->handleDrop(paths);
}
