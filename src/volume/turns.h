// Turns: the counters by which the two conversion workers take their blocks' reads and writes in
// stack order. A turn holds the number of the block whose step may run next; the worker that ran
// it passes the turn on, and a worker waiting for its turn sleeps in the kernel, not in a loop.
#pragma once

#include <atomic>
#include <cstdint>

// The low 24 bits of `at` count blocks; the bits above count failures. Every failure changes every
// turn, so that each sleeping worker wakes and looks at it.
struct Turn {
    std::atomic<std::uint32_t> at{0};
    std::atomic<std::uint32_t> sleepers{0}; // workers asleep on `at`, so a pass without one is free
};
constexpr std::uint32_t turnFailure = std::uint32_t{1} << 24;
constexpr std::uint32_t turnBlocks = turnFailure - 1;
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

// Sleeps until turn.at differs from seen (or a spurious wake-up).
void sleepWhile(Turn &turn, std::uint32_t seen);

// Adds step to turn.at and wakes every worker asleep on it.
void advance(Turn &turn, std::uint32_t step);
