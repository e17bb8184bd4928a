// libFuzzer entry points.
#include "fuzz_target.h"

#include <QApplication>

#include <cstddef>
#include <cstdint>

namespace {

FuzzTarget *target = nullptr;
// QApplication keeps a reference to its argument count.
int applicationArgc = 1;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // The fuzzer's own flags are not Qt's business.
    startFuzzApplication(applicationArgc, *argv);
    (void)argc;
    target = new FuzzTarget;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    target->run(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
