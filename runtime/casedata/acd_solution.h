// Solution-data reader of the analysis-case data (ACD) file.
//
// Minimal version: only the close that the end of the run needs. The reader
// itself replaces this file.
#pragma once

// Releases the reader's model tree and closes the ACD file when it is open.
// The minimal version holds nothing and does nothing.
void acds_close();
