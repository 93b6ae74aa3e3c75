#pragma once

#include "core/AppState.h"

#include <QFuture>

// Files loaded for a subcommand as the window loads them, with their facts waited for: a flow sees them
// before it goes on, as a person sees the card before choosing (the pages typed for "extract pages" are
// checked against the page count, and a request to the AI describes the file).
class DevLoader
{
public:
    // The system's services without a player, probing through this loader.
    Services services();
    // Loads `paths` into `state` and returns once the key and the first file's facts have reached it.
    void load(AppState& state, const QStringList& paths);

private:
    QFuture<MediaFacts> m_probing;
};
