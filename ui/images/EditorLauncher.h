// Starts the external editor without waiting for it.
#ifndef QUILLOMAT_UI_IMAGES_EDITORLAUNCHER_H
#define QUILLOMAT_UI_IMAGES_EDITORLAUNCHER_H

#include <QString>
#include <QStringList>

// Starts `program` (searched for in PATH unless it holds a '/') with the
// argument vector `arguments` (arguments[0] is the program's own name) and
// returns at once: 0 when it runs, else the errno of the failure, the
// program's exec included (a missing file ENOENT, a file without execute
// permission EACCES, one that is no program ENOEXEC). The program runs in a
// session of its own, so that it outlives this one; it is reaped when it ends.
int startDetachedProgram(const QString &program, const QStringList &arguments);

#endif
