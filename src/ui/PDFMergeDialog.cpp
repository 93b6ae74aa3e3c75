#include "PDFMergeDialog.h"

#include "FileDialogs.h"
#include "Style.h"
#include "Symbols.h"
#include "core/AppState.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

PDFMergeDialog::PDFMergeDialog(AppState* state, QWidget* parent)
    : Sheet(state, u"Merge PDFs"_s, u"pdfMergeDialog"_s, parent)
    , m_rows(new QWidget(this))
    , m_rowsLayout(new QVBoxLayout(m_rows))
{
    for (const QString& path : m_state->files()) {
        if (FileKinds::detect(path) == FileKind::pdf) {
            m_order.append(path);
        }
    }
    m_rowsLayout->setContentsMargins(0, 0, 0, 0);
    m_rowsLayout->setSpacing(4);
    QPushButton* addButton = Style::button(u"Add PDFs..."_s, u"addPdfs"_s, this);
    addButton->setAutoDefault(false);
    content()->addWidget(Style::label(u"They are joined in this order."_s, Style::Text::callout, this));
    content()->addWidget(m_rows);
    content()->addWidget(addButton, 0, Qt::AlignLeft);
    showStateMessage();
    buttons()->addStretch();
    addCloseButton(u"Cancel"_s);
    m_preview = addDefaultButton(u"Preview"_s, u"preview"_s);
    connect(addButton, &QPushButton::clicked, this, &PDFMergeDialog::add);
    connect(m_preview, &QPushButton::clicked, m_state, [this] { m_state->preparePDFMerge(m_order); });
    rebuild();
}

void PDFMergeDialog::rebuild()
{
    Style::clear(m_rowsLayout);
    const QColor tint = palette().color(QPalette::ButtonText);
    auto symbolButton = [&](QWidget* row, const QString& symbol, const QString& name, const QString& objectName) {
        auto* button = new QToolButton(row);
        button->setIcon(Symbols::icon(symbol, tint));
        button->setToolTip(name);
        Style::name(button, name, objectName);
        return button;
    };
    for (qsizetype i = 0; i < m_order.size(); ++i) {
        auto* row = new QWidget(m_rows);
        const QString fileName = QFileInfo(m_order[i]).fileName();
        QLabel* label = Style::label(QString::number(i + 1) + u". "_s + fileName, Style::Text::body, row);
        label->setObjectName(u"mergeRow"_s);
        QToolButton* up = symbolButton(row, u"arrow.up"_s, u"Move up "_s + fileName, u"moveUp"_s);
        QToolButton* down = symbolButton(row, u"arrow.down"_s, u"Move down "_s + fileName, u"moveDown"_s);
        QToolButton* remove = symbolButton(row, u"xmark"_s, u"Remove "_s + fileName, u"remove"_s);
        up->setEnabled(i > 0);
        down->setEnabled(i < m_order.size() - 1);
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(label, 1);
        layout->addWidget(up);
        layout->addWidget(down);
        layout->addWidget(remove);
        connect(up, &QToolButton::clicked, this, [this, i] { move(i, i - 1); });
        connect(down, &QToolButton::clicked, this, [this, i] { move(i, i + 1); });
        connect(remove, &QToolButton::clicked, this, [this, i] {
            m_order.removeAt(i);
            rebuild();
        });
        m_rowsLayout->addWidget(row);
    }
    m_preview->setEnabled(m_order.size() >= 2);
}

void PDFMergeDialog::move(qsizetype from, qsizetype to)
{
    if (to < 0 || to >= m_order.size()) {
        return;
    }
    m_order.swapItemsAt(from, to);
    rebuild();
}

void PDFMergeDialog::add()
{
    QStringList refused;
    for (const QString& path : FileDialogs::choosePdfs(this)) {
        if (!FileDialogs::isPdf(path)) {
            refused.append(u'“' + QFileInfo(path).fileName() + u'”');
        } else if (!m_order.contains(path)) {
            m_order.append(path);
        }
    }
    if (!refused.isEmpty()) {
        m_state->setMessage(refused.join(u", "_s)
                            + (refused.size() == 1 ? u" is not a PDF, so it was not added."_s
                                                   : u" are not PDFs, so they were not added."_s));
    }
    rebuild();
}
