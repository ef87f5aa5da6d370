#pragma once

#include <QString>

namespace zub {

// The path of the program's data file `name` (the skin "she.she" and the
// like): beside the program, where the build tree has it, else in the
// share/zubqr-gui folder of the prefix the program is installed in
// (`programFolder`/../share/zubqr-gui for the usual layout). When neither
// exists, the path beside the program, so that the caller's "not there"
// stays as it was.
QString FindDataFile(const QString &programFolder, const QString &name);

} // namespace zub
