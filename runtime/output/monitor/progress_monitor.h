// Progress monitor file (unit 9).
//
// Minimal version: the open with its header line, the block check of the
// update and the close that the run needs. The monitor itself (the progress
// lines of the update) replaces this file.
#pragma once

#include <string_view>

// Opens FILENAME (formatted, UNKNOWN) on unit 9 and writes the header line of
// a thermal model or of a model with fluid nodes. An open that fails ends the
// run through FAILUR.
void prm_open(std::string_view FILENAME);

// The update that the variables 1 and 2 blocks call after setting OPBLOK; any
// other block stops the run with "prm_Update". The minimal version writes no
// progress line.
void PRMUPD();

// When the monitor file is open: writes its last line, the time of day and
// ",  EXIT", and closes it, keeping it. Otherwise does nothing.
void prm_close();
