#include "startup.h"

namespace Quilt {

bool selfTestRequested(int, char **) { return false; }
QString previewDirectory(const QStringList &) { return {}; }
InstallPaths installPaths(const QString &) { return {}; }
bool loadStyleSheets(QString &, QString &) { return false; }

} // namespace Quilt
