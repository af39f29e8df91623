// Entity lists (ZENTS) of node tables: "L,T,QI,C" or "T,QI,T-DEC" name the
// quantities printed per node and the one the table is ordered by.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Decodes ZENTS(1..LEN) (blanks removed) into LIST(1..N), the entity codes in
// the order given, each once; LISTED(code) = 1 for each. Names are those of
// codes 1..MAXCODE (the node-table printer passes 48) or user attribute names;
// "G" lists the six conductor kinds; "-INC" / "-DEC" after a name makes it the
// sequence entity SEQ (+code ascending, -code descending) instead of listing
// it. CONDSEEN / NODESEEN record which kinds were listed. Bad items are
// reported (with CALLER in front) and skipped; IERR is the status of the
// last item that set it: 1 mixed kinds or repeated entity, 2 codes 37-41,
// 3 sequence entity of the other kind (or "G" over listed kinds), 4 bad
// sequence entity, 5 unknown name, 6 empty item. NLIST and NCODES are the
// room of LIST and LISTED.
void LSDNTT(std::int32_t NLIST, std::int32_t NCODES, std::int32_t MAXCODE, std::string_view CALLER,
            std::string_view ZENTS, std::int32_t LEN, std::span<std::int32_t> LIST, std::int32_t& CONDSEEN,
            std::span<std::int32_t> LISTED, std::int32_t& NODESEEN, std::int32_t& N, std::int32_t& SEQ,
            std::int32_t& IERR);

// Adds CODE to LIST (all six conductor kinds for CODE = MAXCODE, "G"). IERR 1
// repeated (warned), 3 "G" over kinds already listed, 5 no room for it in LIST
// or LISTED (nothing added).
void LSNTID(std::int32_t MAXCODE, std::int32_t CODE, std::string_view CALLER, std::span<std::int32_t> LIST,
            std::int32_t& CONDSEEN, std::span<std::int32_t> LISTED, std::int32_t& NODESEEN, std::int32_t& N,
            std::int32_t& IERR);

// ARRAY(1), ARRAY(1 + INC), ... up to index N := VALUE; IERR = 0.
void ACONI(std::int32_t INC, std::int32_t N, std::int32_t VALUE, std::span<std::int32_t> ARRAY, std::int32_t& IERR);
