#include "window.h"

namespace Quilt {

// Not built yet: a self-test must never report success without checking anything.
bool Window::preview(const QString &) { return false; }

} // namespace Quilt
