#pragma once

#include "Sheet.h"

#include <QStringList>
#include <functional>

// Picks the target format of a conversion; one large button per format, in the given order.
class FormatDialog : public Sheet
{
    Q_OBJECT

public:
    FormatDialog(AppState* state, const QString& title, const QStringList& formats,
                 std::function<void(const QString&)> onPick, const QString& objectName, QWidget* parent = nullptr);
};
