#include "window.h"

namespace Quilt {

void Window::buildDiagnostics() {}

} // namespace Quilt
