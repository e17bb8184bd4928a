#include "window.h"

namespace Quilt {

void Window::buildBasic() {}
void Window::buildDisplay() {}

} // namespace Quilt
