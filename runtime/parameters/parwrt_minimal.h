// Per-case files and the parameter-case output hook.
//
// Minimal version: the per-case file root is built but no case print file or
// CSV file is opened, and the output hook writes nothing (no per-case GFF,
// TMD or CSV output). The per-case files and the output hook replace this
// file.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Output hook of the variables 2 ("VARIABLES2") and outputs ("OUTPUTS") blocks.
void PARWRT(std::string_view BLOCK);

// ROOT := the per-case file root: the model name up to 8 characters, "_PAR",
// the case number in 4 digits and, for a non-blank TITLE, "_" and TITLE with
// blanks as "-". IERR 0.
void PARFIL(std::int32_t PARMONLY, std::string_view MODELNAME, std::int32_t CSVMULT, std::int32_t CASENO,
            std::int32_t CSVENT, std::string_view CSVLIST, std::span<char> ROOT, std::string_view TITLE,
            std::int32_t OUTMULT, std::int32_t PRINTUNIT, std::int32_t CSVUNIT, std::int32_t& IERR);
