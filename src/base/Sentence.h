#pragma once

#include <QString>

// A system's description of an error ("Connection refused", "No space left on device") as one sentence
// for the user: capitalised and ending in a full stop.
QString asSentence(const QString& description);
