#include "DataFiles.h"

#include <QDir>
#include <QFileInfo>

namespace zub {

QString FindDataFile(const QString &programFolder, const QString &name) {
  const QDir folder(programFolder);
  const QString beside = folder.filePath(name);
  if (QFileInfo::exists(beside))
    return beside;
  const QString installed =
      QDir::cleanPath(folder.filePath(QStringLiteral(ZUB_DATA_FROM_BIN "/") + name));
  return QFileInfo::exists(installed) ? installed : beside;
}

} // namespace zub
