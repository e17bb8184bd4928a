#include "window.h"

namespace Quilt {

void Window::buildSaves() {}

} // namespace Quilt

namespace Quilt {

bool Window::confirmReplace() { return false; }

} // namespace Quilt
