// TMD output requests: DMPTMD from the model blocks and ParTmd from the
// parameter-case output. Each parses its entity string, picks the file slot
// and file name (a new solution file when the time does not move on past the
// slot's last write, or when the selection differs from the one the open
// file was made for), creates the file when needed, appends one time slab
// and reports every failure as a framed message.
//
// Files: slot j of the j-th distinct DMPTMD basename (at most 99) is named
// "<basename>.TMD", then "<basename>.TMD2", ".TMD3" ... for later solutions;
// slot 100 holds the parameter-case file "<case root>.TMD[n]".
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/output/tmd/tmd_selection.h"

// Writes the current state of the entities ZENTS of the nodes of group
// ZLABEL in submodel reference SUBREF to the TMD file named from FILEROOT
// (blank: the current submodel's name).
void DMPTMD(std::string_view ZLABEL, std::string_view ZENTS, std::int32_t SUBREF, std::string_view FILEROOT);

// The parameter-case TMD output of case NCASE: entity string ENTITIES (256
// characters), per-case file root FILEROOT (50 characters).
void ParTmd(std::string_view ENTITIES, std::string_view FILEROOT, std::int32_t NCASE);

// The check of a parameter-case run that writes nothing: parses ENTITIES as
// ParTmd does at every output point, reporting what it would report.
void ParTmdCheck(std::string_view ENTITIES);

void DmptmdReal(std::int32_t SUBREF, std::string_view ZENTS, std::string_view FILEROOT, std::string_view ROUTINE,
                std::string_view ZLABEL, const kalvir::tmd::RunInfo& RUN);

void ParTmdBase(std::string_view ENTITIES, std::string_view FILEROOT, std::int32_t NCASE, std::string_view PARNAM,
                std::string_view ROUTINE, const kalvir::tmd::RunInfo& RUN);

namespace kalvir::tmd {
// Closes every TMD file and forgets every basename and case, so that a test
// can start from an empty writer. A run never calls it.
void reset_for_tests();
}  // namespace kalvir::tmd
