// The exit handler: the end of every run that does not end by a signal passes through here.
#include "run/cleanUp.h"
#include "run/outputs.h"
#include "run/runState.h"

#include <cstdint>
#include <cstdlib>

void cleanUp() {
    discardOutputs();
    for (std::uint64_t i = 0; i < ntodo; i++) std::free(todo[i]);
    std::free(todo);
}
