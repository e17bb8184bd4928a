#include "build_record.h"

#include "build_values.h"

namespace Protocol {

QJsonObject buildRecord()
{
    return {{"revision", QStringLiteral(QUILT_BUILD_REVISION)},
            {"compiler", QStringLiteral(QUILT_BUILD_COMPILER)},
            {"buildType", QStringLiteral(QUILT_BUILD_TYPE)},
            {"qt", QStringLiteral(QT_VERSION_STR)}};
}

} // namespace Protocol
