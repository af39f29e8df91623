// Solution-data reader of the analysis-case data (ACD) file.
//
// Minimal version: the reader opens the file for the run (a run without an
// ACD file cannot go on) and closes it at the end; it applies no case data
// yet. The reader itself replaces this file.
#pragma once

#include <string_view>

// Opens "<model name without trailing blanks>.acd" read-only for the run. A
// file that cannot be opened is a fatal message.
void acds_open(std::string_view MODELNAME);

// Loads the file's static data into the model (once, after acds_open). The
// minimal version loads nothing.
void acds_staticload();

// Applies the time-dependent data for the current time; the minimal version
// applies nothing.
void ACDDYU();

// Releases the reader's model tree and closes the ACD file when it is open.
void acds_close();
