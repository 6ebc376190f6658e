#include "run/runState.h"

const char *prog;
char **todo;
std::uint64_t ntodo;
std::uint64_t width;
std::uint64_t height;
