#include "fabric.h"

namespace Quilt {

QuiltTabs::QuiltTabs() = default;
QuiltTabs::~QuiltTabs() = default;
void QuiltTabs::paintEvent(QPaintEvent *event) { QTabBar::paintEvent(event); }
QSize QuiltTabs::tabSizeHint(int index) const { return QTabBar::tabSizeHint(index); }

SewnSwitch::SewnSwitch() = default;
SewnSwitch::~SewnSwitch() = default;
void SewnSwitch::paintEvent(QPaintEvent *event) { QCheckBox::paintEvent(event); }
bool SewnSwitch::hitButton(const QPoint &pos) const { return rect().contains(pos); }

FabricButton::FabricButton(const QString &text, bool primary) : QPushButton(text), primary(primary) {}
FabricButton::~FabricButton() = default;
QSize FabricButton::sizeHint() const { return QPushButton::sizeHint(); }
void FabricButton::paintEvent(QPaintEvent *event) { QPushButton::paintEvent(event); }

FabricCombo::FabricCombo() = default;
FabricCombo::~FabricCombo() = default;
QSize FabricCombo::sizeHint() const { return QComboBox::sizeHint(); }
void FabricCombo::paintEvent(QPaintEvent *event) { QComboBox::paintEvent(event); }

FabricSpinBox::FabricSpinBox() { setObjectName("fabricNumber"); }
FabricSpinBox::~FabricSpinBox() = default;
void FabricSpinBox::paintEvent(QPaintEvent *event) { QDoubleSpinBox::paintEvent(event); }

} // namespace Quilt
