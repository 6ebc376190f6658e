// The register of unfinished outputs: the one place where a volume is created, written, finished
// or discarded. Its promise: a volume that was started but not finished never survives the run.
#pragma once

#include <cstddef>
#include <cstdint>

// Creates output c (0, 1, 2: red, green, blue) as `name`, which the register keeps from now on (an
// allocation it frees), with room for `size` bytes, and puts it on the register. False when the
// name exists in any form (see system/volumeFile.h); errExit on any other failure.
bool openOutput(char *name, int c, std::uint64_t size);

// Appends `size` bytes to output c. False with errno set on failure; the caller decides when the
// run ends. Any thread may write.
bool writeOutput(int c, const void *data, std::size_t size);

// Closes the three outputs. An output whose close succeeded is finished and leaves the register;
// one whose close failed stays on it and is deleted at exit. The other outputs are still closed;
// the first failure's error then ends the run through errExit.
void finishOutputs();

// Deletes every output still on the register, empties it and releases the names: the exit
// clean-up's part.
void discardOutputs();

// The same from a fatal signal's handler, which may run on any thread at any moment: by name and
// identity only, and the register is left as it is, since the process ends right after.
void discardOutputsInSignal();
