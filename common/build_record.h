#pragma once

#include <QJsonObject>

namespace Protocol {

// The record of this build: "revision", "compiler", "buildType" and "qt". The service reports
// its own in state "build"; the native game prints the same object for "--build-info", and the
// two match when they come from one build.
QJsonObject buildRecord();

} // namespace Protocol
