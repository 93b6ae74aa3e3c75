#include "PDFExtractDialog.h"

#include "Style.h"
#include "core/AppState.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

PDFExtractDialog::PDFExtractDialog(AppState* state, QWidget* parent)
    : Sheet(state, u"Extract pages"_s, u"pdfExtractDialog"_s, parent)
    , m_pages(new QLineEdit(this))
{
    QLabel* intro = Style::label(QString(), Style::Text::callout, this);
    intro->setObjectName(u"pagesHint"_s);
    // The count comes with the file's probed facts, which may arrive after the sheet opens.
    auto tell = [this, intro] {
        const std::optional<FileDetails> details = m_state->details();
        m_count = details ? details->facts.pages.value_or(0) : 0;
        const QString hint = u"Type the pages to keep, like 1-3, 5."_s;
        intro->setText(m_count < 1 ? hint : u"This PDF has "_s + QString::number(m_count) + u" pages. "_s + hint);
    };
    connect(m_state, &AppState::detailsChanged, this, tell);
    tell();
    m_pages->setPlaceholderText(u"1-3, 5"_s);
    Style::name(m_pages, u"Pages"_s, u"pages"_s);
    content()->addWidget(intro);
    content()->addWidget(m_pages);
    showStateMessage();
    buttons()->addStretch();
    addCloseButton(u"Cancel"_s);
    QPushButton* preview = addDefaultButton(u"Preview"_s, u"preview"_s);
    auto refresh = [this, preview] { preview->setEnabled(!m_pages->text().trimmed().isEmpty()); };
    connect(m_pages, &QLineEdit::textChanged, this, refresh);
    connect(preview, &QPushButton::clicked, m_state, [this] { m_state->preparePDFExtract(m_pages->text()); });
    refresh();
}
