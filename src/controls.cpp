#include "window.h"

namespace Quilt {

void Window::buildControls() {}

} // namespace Quilt

namespace Quilt {

void Window::buildBindings() {}
void Window::buildControllerGuide() {}
void Window::bind(int, bool) {}
bool Window::eventFilter(QObject *watched, QEvent *event) { return QWidget::eventFilter(watched, event); }
void Window::updateControls() {}

} // namespace Quilt
