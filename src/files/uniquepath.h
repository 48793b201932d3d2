#pragma once
// A name for a new file that never replaces one already there: an earlier
// backup may be the only good copy of a receiver's memory.

#include <QString>

namespace rpu {

// wanted itself when no file of that name exists, else the first free one of
// "name-2.ext", "name-3.ext", ... (the counter goes before the last
// extension). The name is taken by creating an empty file exclusively, so
// two jobs at once, or another program, cannot both get it; the caller
// writes over that empty file (atomically) or removes it. Empty, with
// *error set, when the folder cannot take a new file or every counter up to
// a bound is taken.
QString UniqueBackupPath(const QString &wanted, QString *error = nullptr);

} // namespace rpu
