#include "run/runState.h"

const char *prog;
char **todo;
std::uint64_t ntodo;
std::uint64_t width;
std::uint64_t height;
std::atomic<char *> df3Name[3];
std::atomic<FILE *> df3File[3];
dev_t df3Dev[3];
ino_t df3Ino[3];
bool df3Closed[3];
