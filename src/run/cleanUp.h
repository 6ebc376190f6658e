// The exit clean-up: the end of every run that does not end by a signal deletes the unfinished
// outputs on the register (run/outputs.h).
#pragma once

// The exit handler: deletes every output still on the register, then releases the run's memory.
void cleanUp();
