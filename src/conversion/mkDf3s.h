// The conversion run: the slice list into three single-channel DF3 volumes.
#pragma once

// Answers 1 after a refusal (bad slice size, too little space, an existing output) and 0 once all
// three volumes are finished. Failed calls end the run through errExit.
int mkDf3s(const char *base);

// The name of channel c's volume (0, 1, 2: red, green, blue): "<base>_r.df3" and so on, in a new
// allocation; errExit without memory.
char *df3NameOf(const char *base, int c);
