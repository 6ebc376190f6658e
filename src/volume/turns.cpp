// On Linux a futex: a waiting worker costs one system call and wakes the moment its turn comes.
// Elsewhere the standard library's wait, which needs nothing more.
//
// A pass wakes only when a worker sleeps: the sleeper counts itself before it looks at the turn
// again (inside the kernel, or inside the library's wait), and the passer changes the turn before it
// looks at the count, so one of the two always sees the other.
#include "volume/turns.h"

#if defined(__linux__)
#include <climits>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t), "a futex is one 32-bit word");

namespace {
// The kernel returns at once if the word no longer holds the value, so no pass of the turn is
// missed; an interruption or a spurious return only makes the caller look again, which is why the
// result needs no check.
void futex(std::atomic<std::uint32_t> &word, int op, std::uint32_t value) {
    syscall(SYS_futex, reinterpret_cast<std::uint32_t *>(&word), op, value, nullptr, nullptr, 0);
}
void waitWhile(std::atomic<std::uint32_t> &word, std::uint32_t seen) { futex(word, FUTEX_WAIT_PRIVATE, seen); }
void wakeAll(std::atomic<std::uint32_t> &word) { futex(word, FUTEX_WAKE_PRIVATE, INT_MAX); }
} // namespace

#else

namespace {
void waitWhile(std::atomic<std::uint32_t> &word, std::uint32_t seen) { word.wait(seen); }
void wakeAll(std::atomic<std::uint32_t> &word) { word.notify_all(); }
} // namespace

#endif

void sleepWhile(Turn &turn, std::uint32_t seen) {
    turn.sleepers.fetch_add(1);
    waitWhile(turn.at, seen);
    turn.sleepers.fetch_sub(1);
}

void advance(Turn &turn, std::uint32_t step) {
    turn.at.fetch_add(step);
    if (turn.sleepers.load() != 0) wakeAll(turn.at);
}
