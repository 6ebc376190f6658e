// The pixel stream of the conversion: every slice of the list into the three volumes.
#pragma once

// Copies the first width x height pixels of each slice in todo, in list order, into the volumes on
// the register, with each slice's progress line. Ends the run through errExit on a failure.
void copyPixels();
