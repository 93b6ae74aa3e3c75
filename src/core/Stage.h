#pragma once

#include <QObject>

namespace Stages {
Q_NAMESPACE

// Where the user is in the work; the window shows one panel per stage.
enum class Stage { idle, asking, thinking, review, installing, running, finished, failed };
Q_ENUM_NS(Stage)

} // namespace Stages

using Stages::Stage;
