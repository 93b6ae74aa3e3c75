#include "OpenPanel.h"

std::optional<QStringList> OpenPanel::s_nextAnswer;

QStringList OpenPanel::choose(const QString& message)
{
    if (s_nextAnswer) {
        return std::exchange(s_nextAnswer, std::nullopt).value();
    }
    return show(message);
}

void OpenPanel::setNextAnswer(const QStringList& paths)
{
    s_nextAnswer = paths;
}
