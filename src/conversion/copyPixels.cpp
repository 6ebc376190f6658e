// Two workers share the stack: the main thread and one helper take alternate blocks of each slice.
// A block's life: read it from the slice at its offset (the reads take turns in stack order, so the
// disk still sees one sequential stream; a slice's first read takes its header along, so that the
// kernel's read-ahead starts with a full block), split it into the worker's own three channel
// buffers, then write channel c once every earlier block has written channel c. Each volume is so
// written front to back, one write after another, and no block's data leaves the core that split
// it.
//
// The turns are counters under one lock: a worker waits while the counter is below its block, and
// the worker that ran a step advances the counter and wakes every waiter.
//
// Only the main thread opens slices, prints warnings and progress, and ends the run. A failure is
// recorded with its place in the stack; both workers still finish every step before that place,
// as a single thread would have, and start no step after it once they have seen it. Steps already
// under way when it is recorded may still run (the read, or the open, of the next block, up to two
// writes); they change nothing a user sees: only the earliest failure is reported, the volumes
// are deleted, and a slice's header is looked at only where its progress line would be printed,
// after every earlier step has succeeded. The main thread then joins the helper and ends the run
// with that failure.
#include "conversion/copyPixels.h"
#include "conversion/splitPixels.h"
#include "slices/tgaSlice.h"
#include "run/errExit.h"
#include "run/messages.h"
#include "run/outputs.h"
#include "run/runState.h"
#include "run/signals.h"
#include "system/errors.h"
#include "system/sliceFile.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <pthread.h>

namespace {

// Pixels moved per block: 384 KiB in, three 128 KiB channel buffers out, so a block stays in the
// processor's L2 cache between the read, the split and the writes. Measured with bench/run.py on
// 64 slices of 2048 x 2048: 2^16 to 2^18 pixels run alike; 2^20 pixels (1 MiB writes) made the
// kernel's share of the run swing from 0.25 s to 1.4 s between identical runs. A test build sets
// tiny blocks (SLICEVOL_BLOCK_PIXELS), so that rare interleavings of the two workers become common.
#ifndef SLICEVOL_BLOCK_PIXELS
#define SLICEVOL_BLOCK_PIXELS (1 << 17)
#endif
constexpr std::uint64_t blockPixels = SLICEVOL_BLOCK_PIXELS;

// The helper starts only on stacks of 128 blocks or more. Starting it and faulting in its buffers
// costs about 3.5 ms on the benchmark machine, which is what it gains back over some 128 blocks
// (paired runs of two workers against one: 8 blocks took 1.28 x as long, 64 blocks 1.17 x, 128
// blocks the same). On slices of one block it would have nothing to do at all.
#ifndef SLICEVOL_HELPER_MIN_BLOCKS
#define SLICEVOL_HELPER_MIN_BLOCKS 128
#endif
constexpr std::uint64_t minBlocksForHelper = SLICEVOL_HELPER_MIN_BLOCKS;

// A slice's first block is read together with the header in front of it, into the room just
// before the pixels; the pixels themselves start on a cache line.
constexpr std::size_t headerRoom = 64;
static_assert(pixelOffset <= headerRoom);
struct Buffers {
    alignas(64) unsigned char raw[headerRoom + blockPixels * 3];
    alignas(64) unsigned char channels[3][blockPixels];
    unsigned char *pixels() { return raw + headerRoom; }
};
Buffers buffers[2]; // one set per worker

// Set before the helper starts and only read while it runs.
unsigned workers;             // 2 on stacks of minBlocksForHelper and slices of two blocks or more
std::uint64_t blocksPerSlice; // blocks per slice
// The slice being read. Only the main thread opens and closes it, in a read turn (startSlice); the
// helper reads through it only in its own read turns, which come after that open and before the
// next one, so it never sees the descriptor change under it.
int slice = -1;

// A step's place in the stack: block after block, and in each block its read (step 0), then its
// writes in the channel order r, g, b (steps 1 to 3). A single thread runs the steps in exactly
// this order.
constexpr std::uint64_t stepsPerBlock = 4;
std::uint64_t place(std::uint64_t block, int step) { return block * stepsPerBlock + step; }
constexpr std::uint64_t noFailure = UINT64_MAX;

// Everything the two workers share, under one lock. POSIX defines no failure for locking,
// waiting on and waking a statically initialised default mutex and condition, so their results
// are not looked at.
struct Turns {
    pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t moved = PTHREAD_COND_INITIALIZER; // a turn moved on, or a failure came
    std::uint64_t readTurn = 0;                      // the block whose read may start
    std::uint64_t writeTurn[3] = {};                 // per channel, the block whose write may start
    std::uint64_t failedAt = noFailure;              // the earliest failed step so far
    SystemError failedError = {};                    // and its error, as the failing thread met it
};
Turns turns;

// Records a failure of the step at `at` with this thread's error, and wakes every waiting worker.
void fail(std::uint64_t at) {
    const SystemError error = lastError();
    pthread_mutex_lock(&turns.lock);
    if (at < turns.failedAt) {
        turns.failedAt = at;
        turns.failedError = error;
    }
    pthread_cond_broadcast(&turns.moved);
    pthread_mutex_unlock(&turns.lock);
}

// Waits until turn has reached block. False when a failure before `at` means that the step at
// `at` would never have run in a single thread, so it must not run now.
bool waitForTurn(const std::uint64_t &turn, std::uint64_t block, std::uint64_t at) {
    pthread_mutex_lock(&turns.lock);
    while (turn < block && turns.failedAt >= at) pthread_cond_wait(&turns.moved, &turns.lock);
    const bool mayRun = turns.failedAt >= at;
    pthread_mutex_unlock(&turns.lock);
    return mayRun;
}

void passTurn(std::uint64_t &turn) {
    pthread_mutex_lock(&turns.lock);
    turn++;
    pthread_cond_broadcast(&turns.moved);
    pthread_mutex_unlock(&turns.lock);
}

// Opens slice s for its first block, in that block's read turn: every read of the slice before is
// done, so it can be closed, and the opens happen in list order.
bool startSlice(std::uint64_t s, std::uint64_t block) {
    if (slice != -1) closeSlice(slice);
    slice = openSlice(todo[s]);
    if (slice == -1) fail(place(block, 0));
    return slice != -1;
}

// The header warning and progress line of a slice: once every earlier block is in all three
// volumes and before any of this slice's pixels is written. A single thread prints them before it
// reads the slice's first block; here they come just after that read, which only shifts them
// against the slice's own reading. Printed even if this slice's first read failed; but not after
// an earlier failure, which a single thread would have ended the run on. A header that was not
// there whole is passed over: the read has failed already.
bool announce(std::uint64_t s, std::uint64_t block, const unsigned char *header) {
    for (const std::uint64_t &turn : turns.writeTurn)
        if (!waitForTurn(turn, block, place(block, 0))) return false;
    if (header != nullptr) checkHeader(todo[s], header);
    say(Stream::out, "adding file '%s'\n", todo[s]);
    return true;
}

// Worker w's share: in every slice the blocks w, w + workers, w + 2 x workers and so on. The first
// block of each slice is therefore the main thread's (worker 0).
void work(unsigned w) {
    Buffers &own = buffers[w];
    const std::uint64_t slicePixels = width * height;
    for (std::uint64_t s = 0; s < ntodo; s++) {
        for (std::uint64_t b = w; b < blocksPerSlice; b += workers) {
            const std::uint64_t block = s * blocksPerSlice + b;
            const std::size_t n = std::min(blockPixels, slicePixels - b * blockPixels);
            // A stop request (Windows' Ctrl-C) ends the run like a failure here, at the next block.
            if (stopRequested()) return fail(place(block, 0));
            if (!waitForTurn(turns.readTurn, block, place(block, 0))) return;
            if (b == 0 && !startSlice(s, block)) return;
            const BlockRead read =
                b == 0 ? readFirstBlock(slice, n, own.pixels())
                       : BlockRead{readBlock(slice, b * blockPixels, n, own.pixels()), nullptr};
            if (read.whole) passTurn(turns.readTurn);
            else fail(place(block, 0));
            if (b == 0 && !announce(s, block, read.header)) return;
            if (!read.whole) return;

            splitPixels(own.pixels(), n, own.channels[0], own.channels[1], own.channels[2]);
            for (int c = 0; c < 3; c++) {
                if (!waitForTurn(turns.writeTurn[c], block, place(block, 1 + c))) return;
                if (!writeOutput(c, own.channels[c], n)) return fail(place(block, 1 + c));
                passTurn(turns.writeTurn[c]);
            }
        }
    }
}

void *helperMain(void *) {
    work(1);
    return nullptr;
}

} // namespace

void copyPixels() {
    blocksPerSlice = (width * height + blockPixels - 1) / blockPixels;
    workers = blocksPerSlice >= 2 && blocksPerSlice * ntodo >= minBlocksForHelper ? 2 : 1;
    // The helper starts with the main thread's signal mask, the one the run was started with. So a
    // caught signal that the kernel gives to the helper (a write past a file-size limit, or a
    // signal sent to the helper alone) runs the handler on the helper, which is as safe as on the
    // main thread: the register does not change while the helper lives. If the helper cannot be
    // started, the main thread takes the whole stack.
    pthread_t helper;
    if (workers == 2 && pthread_create(&helper, nullptr, helperMain, nullptr) != 0) workers = 1;
    work(0);
    if (workers == 2) errExitOn(pthread_join(helper, nullptr));
    if (turns.failedAt != noFailure) {
        if (stopRequested()) endByStop();
        restoreError(turns.failedError);
        errExit();
    }
    closeSlice(slice);
    reportUnnamedWarnings();
}
