// Shared blocks of the run: JOBINF (run date, time, model name), PRTINF (paged
// print state), PARNUM and PARCHR (parameter-case settings).
#pragma once

#include <array>
#include <cstdint>

#include "runtime/platform/arrays.h"
#include "runtime/platform/fixed_string.h"

struct JobinfBlock {
  kalvir::Chars<17> date;   // "05 March     2026"
  kalvir::Chars<8> time;    // "14:07:09"
  kalvir::Chars<24> model;  // model name
};
extern JobinfBlock JOBINF;

// Six words: 1 lines per page, 2 lines used on the page, 3 print unit,
// 4 number of the next page, 5 and 6 spare. Start-up sets 60, 1, 6, 1, 0, 0.
struct PrtinfBlock {
  std::array<std::int32_t, 6> w{60, 1, 6, 1, 0, 0};
  std::int32_t& operator()(int word) noexcept {
    KALVIR_CHECK_INDEX(word >= 1 && word <= 6, "PRTINF");
    return w[static_cast<std::size_t>(word - 1)];
  }
  std::int32_t operator()(int word) const noexcept {
    KALVIR_CHECK_INDEX(word >= 1 && word <= 6, "PRTINF");
    return w[static_cast<std::size_t>(word - 1)];
  }
};
extern PrtinfBlock PRTINF;

// Seven words: 1 multiple-CSV flag, 2 case number (0 base case), 3 CSV-entities
// flag, 4 GFF-entities flag, 5 output block (0 outputs, 1 variables 2),
// 6 multiple-print flag, 7 TMD-entities flag.
struct ParnumBlock {
  std::array<std::int32_t, 7> w{};
  std::int32_t& operator()(int word) noexcept {
    KALVIR_CHECK_INDEX(word >= 1 && word <= 7, "PARNUM");
    return w[static_cast<std::size_t>(word - 1)];
  }
  std::int32_t operator()(int word) const noexcept {
    KALVIR_CHECK_INDEX(word >= 1 && word <= 7, "PARNUM");
    return w[static_cast<std::size_t>(word - 1)];
  }
};
extern ParnumBlock PARNUM;

struct ParchrBlock {
  kalvir::Chars<256> csvlist;   // CSV entity list
  kalvir::Chars<50> fileroot;   // per-case file root
  kalvir::Chars<256> gffstr;    // GFF entity string
  kalvir::Chars<256> tmdstr;    // TMD entity string
};
extern ParchrBlock PARCHR;
