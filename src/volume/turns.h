// Turns: the counters by which the two conversion workers take their blocks' reads and writes in
// stack order. A turn holds the number of the block whose step may run next; the worker that ran
// it passes the turn on, and a worker waiting for its turn sleeps in the kernel, not in a loop.
#pragma once

#include <atomic>
#include <cstdint>

// The low 24 bits count blocks; the bits above count failures. Every failure changes every turn,
// so that each sleeping worker wakes and looks at it.
using Turn = std::atomic<std::uint32_t>;
constexpr std::uint32_t turnFailure = std::uint32_t{1} << 24;
constexpr std::uint32_t turnBlocks = turnFailure - 1;
static_assert(Turn::is_always_lock_free);

// Sleeps until turn differs from seen (or a spurious wake-up).
void sleepWhile(Turn &turn, std::uint32_t seen);

// Wakes every thread sleeping on turn.
void wakeAll(Turn &turn);
