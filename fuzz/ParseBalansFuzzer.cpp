// libFuzzer target: ParseBalans on arbitrary bytes (see ParseBalansCheck.h for how
// the bytes become a page and what is checked). A broken promise aborts with its
// description, so the fuzzer keeps the input.

#include "ParseBalansCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString problem = CheckParseBalansInput(QByteArrayView(data, qsizetype(size)));
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "ParseBalans: %s\n", problem.toUtf8().constData());
        std::abort();
    }
    return 0;
}
