#pragma once

#include <QStringList>
#include <optional>

// The modal chooser for files and folders. The window provides the real one; tests plant the next answer.
class OpenPanel
{
public:
    virtual ~OpenPanel() = default;

    // The chosen files and folders in the panel's order; empty when the user cancels. A planted answer is
    // given instead of showing anything, and only once.
    QStringList choose(const QString& message);

    // Test hook: the next `choose` of any panel answers `paths` (empty for a cancel) without a window.
    static void setNextAnswer(const QStringList& paths);

protected:
    virtual QStringList show(const QString& message) = 0;

private:
    static std::optional<QStringList> s_nextAnswer;
};
