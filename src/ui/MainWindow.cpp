#include "MainWindow.h"

#include "ContentView.h"
#include "DialogRouter.h"
#include "Style.h"
#include "Symbols.h"
#include "UiLog.h"
#include "core/AppState.h"

#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QMimeData>
#include <QScrollArea>
#include <QToolButton>

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
    setAcceptDrops(true);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(u"contentScroll"_s);
    scroll->setWidget(m_content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setCentralWidget(scroll);

    // A plain row of tool buttons rather than a QToolBar: the toolbar's overflow button loads its icon
    // through every image format plugin, a cost at each start for a row that never overflows.
    auto* toolbar = new QWidget(this);
    toolbar->setObjectName(u"toolbar"_s);
    auto* row = new QHBoxLayout(toolbar);
    row->setContentsMargins(6, 4, 6, 4);
    row->setSpacing(2);
    row->addStretch();
    const QColor tint = palette().color(QPalette::ButtonText);
    const auto addTool = [toolbar, row, tint](const QString& symbol, const QString& text, const QString& id) {
        auto* button = new QToolButton(toolbar);
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setIconSize(QSize(18, 18));
        button->setIcon(Symbols::icon(symbol, tint));
        button->setText(text);
        Style::name(button, text, id);
        row->addWidget(button);
        return button;
    };
    QToolButton* history = addTool(u"clock.arrow.circlepath"_s, u"History"_s, u"showHistory"_s);
    QToolButton* settings = addTool(u"gearshape"_s, u"Settings"_s, u"showSettings"_s);
    setMenuWidget(toolbar);
    connect(history, &QToolButton::clicked, m_state, [this] { m_state->setDialog(DialogKind::history); });
    connect(settings, &QToolButton::clicked, m_state, [this] { m_state->setDialog(DialogKind::settings); });

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
        } else {
            qCDebug(lcUi, "ignored the dropped address %s: it is not a local file",
                    qUtf8Printable(url.toDisplayString()));
        }
    }
    m_state->handleDrop(paths);
}
