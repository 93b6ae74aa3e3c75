#pragma once

#include <QString>

namespace AccountHome {

// The home folder the system's user database gives the running user, whatever HOME says; empty when the
// user has no entry.
QString path();

} // namespace AccountHome
