#include "window.h"

namespace Quilt {

void Window::startService(const QString &) {}
void Window::request(QString, QJsonObject) {}
void Window::poll() {}
void Window::receive() {}
void Window::handleLine(const QByteArray &) {}
void Window::patch(const char *, QJsonValue) {}

} // namespace Quilt
