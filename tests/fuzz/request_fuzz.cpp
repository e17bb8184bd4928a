// libFuzzer entry points of the request fuzzer: request lines into the stand-in service.
#include "request_target.h"

#include <cstddef>
#include <cstdint>

namespace {

RequestTarget *target = nullptr;
// QCoreApplication keeps a reference to its argument count.
int applicationArgc = 1;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // The fuzzer's own flags are not Qt's business.
    startRequestApplication(applicationArgc, *argv);
    (void)argc;
    target = new RequestTarget;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    target->run(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    return 0;
}
