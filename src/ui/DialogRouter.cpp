#include "DialogRouter.h"

#include "FormatDialog.h"
#include "HistoryView.h"
#include "InfoDialog.h"
#include "PDFExtractDialog.h"
#include "PDFMergeDialog.h"
#include "RenameDialog.h"
#include "SettingsView.h"
#include "WhatWillBeSentDialog.h"
#include "core/AppState.h"

#include <QWidget>

using namespace Qt::StringLiterals;

DialogRouter::DialogRouter(AppState* state, QWidget* window)
    : QObject(window)
    , m_state(state)
    , m_window(window)
{
    connect(m_state, &AppState::dialogChanged, this, &DialogRouter::sync);
    sync();
}

void DialogRouter::sync()
{
    const std::optional<DialogKind> kind = m_state->dialog();
    if (m_open && m_openKind == kind) {
        return;
    }
    if (m_open) {
        QDialog* old = m_open;
        m_open = nullptr;
        old->disconnect(this);
        old->close();
        old->deleteLater();
    }
    m_openKind = kind;
    if (!kind) {
        return;
    }
    m_open = create(*kind);
    if (!m_open) {
        return;
    }
    m_open->setAttribute(Qt::WA_DeleteOnClose, false);
    connect(m_open, &QDialog::finished, this, [this, opened = *kind] {
        if (m_state->dialog() == opened) {
            m_state->setDialog(std::nullopt);
        }
    });
    m_open->show();
}

QDialog* DialogRouter::create(DialogKind kind)
{
    switch (kind) {
    case DialogKind::rename:
        return new RenameDialog(m_state, m_window);
    case DialogKind::convertImage:
        return new FormatDialog(m_state, u"Convert pictures to..."_s, ActionId::convertImage, u"convertImageDialog"_s,
                                m_window);
    case DialogKind::convertAudio:
        return new FormatDialog(m_state, u"Convert audio to..."_s, ActionId::convertAudio, u"convertAudioDialog"_s,
                                m_window);
    case DialogKind::pdfExtract:
        return new PDFExtractDialog(m_state, m_window);
    case DialogKind::pdfMerge:
        return new PDFMergeDialog(m_state, m_window);
    case DialogKind::info:
        return new InfoDialog(m_state, m_window);
    case DialogKind::history:
        return new HistoryView(m_state, m_window);
    case DialogKind::settings:
        return new SettingsView(m_state, m_window);
    case DialogKind::whatWillBeSent:
        return new WhatWillBeSentDialog(m_state, m_window);
    }
    return nullptr;
}
