#include "runState.h"

const char *prog;
char **todo;
std::uint64_t ntodo;
std::uint64_t width;
std::uint64_t height;
char *df3Name[3];
FILE *df3File[3];
bool df3Closed[3];
