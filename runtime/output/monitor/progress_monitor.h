// Progress monitor file (unit 9).
//
// Minimal version: only the close that the end of the run needs. The monitor
// itself (open, header, update) replaces this file.
#pragma once

// When the monitor file is open: writes its last line, the time of day and
// ",  EXIT", and closes it, keeping it. Otherwise does nothing.
void prm_close();
