// On Linux a futex: a waiting worker costs one system call and wakes the moment its turn comes.
// Elsewhere the standard library's wait, which needs nothing more.
#include "volume/turns.h"

#if defined(__linux__)
#include <climits>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

static_assert(sizeof(Turn) == sizeof(std::uint32_t), "a futex is one 32-bit word");

namespace {
long futex(Turn &turn, int op, std::uint32_t value) {
    return syscall(SYS_futex, reinterpret_cast<std::uint32_t *>(&turn), op, value, nullptr,
                   nullptr, 0);
}
} // namespace

// The kernel returns at once if the word no longer holds seen, so no pass of the turn is missed;
// an interruption or spurious return only makes the caller look again.
void sleepWhile(Turn &turn, std::uint32_t seen) { futex(turn, FUTEX_WAIT_PRIVATE, seen); }
void wakeAll(Turn &turn) { futex(turn, FUTEX_WAKE_PRIVATE, INT_MAX); }

#else

void sleepWhile(Turn &turn, std::uint32_t seen) { turn.wait(seen); }
void wakeAll(Turn &turn) { turn.notify_all(); }

#endif
