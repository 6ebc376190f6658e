#include "volume/checkedIo.h"
#include "run/runState.h"

#include <cerrno>

[[noreturn]] static void shortTransfer() {
    if (errno == 0) errno = ENODATA;
    errExit();
}

void readExactly(void *buf, std::size_t size, std::size_t count, FILE *in) {
    errno = 0;
    if (std::fread(buf, size, count, in) != count) shortTransfer();
}

void writeExactly(const void *buf, std::size_t size, std::size_t count, FILE *out) {
    errno = 0;
    if (std::fwrite(buf, size, count, out) != count) shortTransfer();
}
