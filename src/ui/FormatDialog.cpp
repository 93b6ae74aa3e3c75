#include "FormatDialog.h"

#include "Style.h"
#include "core/AppState.h"
#include "plans/Recipes.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

FormatDialog::FormatDialog(AppState* state, const QString& title, ActionId conversion, const QString& objectName,
                           QWidget* parent)
    : Sheet(state, title, objectName, parent)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    for (const QString& format : Recipes::formats(conversion)) {
        QPushButton* button = Style::button(format, u"format_"_s + format, this);
        button->setMinimumSize(84, 44);
        button->setFont(Style::font(Style::Text::title3));
        connect(button, &QPushButton::clicked, this,
                [state, conversion, format] { state->prepareConvert(conversion, format); });
        row->addWidget(button);
    }
    row->addStretch();
    content()->addLayout(row);
    content()->addWidget(
        Style::label(u"You will see the exact command before anything runs."_s, Style::Text::callout, this));
    buttons()->addStretch();
    addCloseButton(u"Cancel"_s);
}
