// A slice dropped on slicevol.exe: Explorer starts the program in a console of its own with the
// slice's whole path as its one argument (a drop, Send to, a shortcut with a file).
#pragma once

// True when an argument is a path (it holds a folder separator) rather than a basename.
bool isDroppedPath(const char *argument);

// Converts the stack of the slice at `path` in the slice's folder, exactly as `slicevol <basename>`
// would there, or says why the path is no slice of a stack; then says how it went. Answers the
// exit status.
int dropRun(const char *path);
