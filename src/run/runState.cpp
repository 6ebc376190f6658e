#include "run/runState.h"

const char *prog;
char **todo;
std::uint64_t ntodo;
std::uint64_t width;
std::uint64_t height;
std::atomic<char *> df3Name[3];
OutputEntry df3File[3];
