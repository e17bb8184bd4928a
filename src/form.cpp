#include "window.h"

#include <QLabel>
#include <QVBoxLayout>

namespace Quilt {

QLabel *Window::label(const QString &text, const char *) { return new QLabel(text); }
QVBoxLayout *Window::card(const char *, const char *) { return nullptr; }
QWidget *Window::row(QVBoxLayout *, const QString &, QWidget *, const char *) { return nullptr; }
void Window::field(QVBoxLayout *, const char *, const QString &) {}
FabricButton *Window::action(QLayout *, const char *, std::function<void()>, const char *) { return nullptr; }
void Window::tracked(QWidget *) {}
SewnSwitch *Window::check(QVBoxLayout *, const char *, const char *, const char *) { return nullptr; }
FabricCombo *Window::select(QVBoxLayout *, const char *, const char *, QList<QString>, QList<int>, const char *) { return nullptr; }
void Window::number(QVBoxLayout *, const char *, const char *, double, double, double, const char *) {}

} // namespace Quilt
