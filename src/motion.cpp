#include "window.h"

namespace Quilt {

void Window::buildMotion() {}
void Window::updateMotion(bool) {}

} // namespace Quilt
