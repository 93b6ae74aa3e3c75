#pragma once

#include <QMetaType>

// Where the user is in the work; the window shows one panel per stage.
enum class Stage { idle, asking, thinking, review, installing, running, finished, failed };

Q_DECLARE_METATYPE(Stage)
