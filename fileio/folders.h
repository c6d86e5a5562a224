#pragma once
// Folders the command line writes into.

#include <QString>

namespace fileio {

// Makes the folder and its missing parents; throws base::FileError with the
// cause in plain words ("not a folder", "permission denied", ...) when it
// cannot be made or a file stands in its way.
void makeFolder(const QString &dir);

} // namespace fileio
