#include "window.h"

namespace Quilt {

void Window::buildHome() {}

} // namespace Quilt
