#include "window.h"

namespace Quilt {

void Window::buildInstall() {}

} // namespace Quilt
