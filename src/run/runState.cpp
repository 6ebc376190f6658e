#include "run/runState.h"

const char *prog;
char **todo;
std::uint64_t ntodo;
std::uint64_t width;
std::uint64_t height;
std::atomic<char *> df3Name[3];
std::atomic<FILE *> df3File[3];
FileIdentity df3Id[3];
bool df3Closed[3];
