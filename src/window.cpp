#include "window.h"

namespace Quilt {

const char *const Titles[8] = {"Play",     "Install",     "Display",        "Controls",
                               "Saves",    "Diagnostics", "Basic settings", "Controls"};

Window::Window(QString root, QString, bool selfTest) : root(root), selfTest(selfTest) {}
Window::~Window() = default;
void Window::navigate(Page, bool) {}
void Window::refresh() {}
void Window::headerText() {}
void Window::notice(const QString &) {}
bool Window::settingsEditable() const { return false; }
void Window::loadStandardText() {}
void Window::setLanguage(int) {}
void Window::resizeEvent(QResizeEvent *event) { QWidget::resizeEvent(event); }
void Window::closeEvent(QCloseEvent *event) { QWidget::closeEvent(event); }

} // namespace Quilt
