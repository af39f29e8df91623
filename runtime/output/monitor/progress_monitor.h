// The progress monitor file (prm_ProgressMonitor_m): a comma-separated text
// file that lets an outside observer follow a running solution. One header
// line, a line every PRGFBK-th step (or iteration of a steady-state
// solution), a line when a solution ends, and the closing line at the end of
// the run. Every line is flushed as soon as it is written.
#pragma once

#include <string_view>

// Opens FILENAME (formatted, status UNKNOWN: an existing file is written from
// its start) on the monitor's unit 9 and writes the header of a thermal model,
// or of a model with fluid nodes. An open that fails ends the run through
// FAILUR.
void prm_open(std::string_view FILENAME);

// Writes a progress line when one is due. Does nothing while PRGFBK < 1;
// otherwise OPBLOK must be "VARIABLES1" or "VARIABLES2" (anything else is an
// internal consistency stop "prm_Update").
void prm_Update();

// The update as the variables 1 and 2 blocks call it.
void PRMUPD();

// Writes the closing line (time of day and ",  EXIT") and closes the file,
// keeping it. Does nothing when the monitor file is not open (the run failed
// before the start-up opened it, or the open failed).
void prm_close();
