#pragma once

#include "Sheet.h"
#include "files/FileAction.h"

// Picks the target format of a conversion; one large button per format the conversion offers.
class FormatDialog : public Sheet
{
    Q_OBJECT

public:
    FormatDialog(AppState* state, const QString& title, ActionId conversion, const QString& objectName,
                 QWidget* parent = nullptr);
};
