#pragma once

#include <QString>

// Where the system tools that plans may use live. zip and tar are the system's own; sips, afconvert and
// ditto are this project's stand-ins, installed with the program's other helpers (in a build tree, its bin
// folder, where the test programs and the developer tool sit too). No environment variable can move them: they
// are the programs a checked plan executes.
namespace SystemTools {

// The absolute path for a tool name, or empty when the name has no entry. The file need not exist.
QString path(const QString& name);

// The folder holding the stand-ins: the one set here, else the program's helper folder. Tests
// point it at their own executables; an empty folder restores the default. Set it before resolving plans,
// on the main thread.
void setStandInDir(const QString& folder);
QString standInDir();

} // namespace SystemTools
