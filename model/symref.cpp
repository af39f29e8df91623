// SYMREF: refers to every fluid-property function and the two fluid-name
// functions, so that every program built from this model holds them and the
// model's own statements can call them. Nothing calls it.
#include <cstdint>

#include "model/orvik_testbed_01.h"
#include "runtime/platform/process.h"

void SYMREF() {
  double p = 1.0e5;
  double t = 20.0;
  double x = 0.0;
  std::int32_t ifl = 2;
  std::int32_t node = 0;
  double sink = 0.0;
  sink += XCOND(p, t, x, ifl, node);
  sink += XCONDS(p, t, x, ifl, node);
  sink += XCP(p, t, x, ifl, node);
  sink += XCPS(p, t, x, ifl, node);
  sink += XENTH(p, t, x, ifl, node);
  sink += XENTHS(p, t, x, ifl, node);
  sink += XJT(p, t, x, ifl, node);
  sink += XJTS(p, t, x, ifl, node);
  sink += XKT(p, t, x, ifl, node);
  sink += XKTS(p, t, x, ifl, node);
  sink += XPRES(p, t, x, ifl, node);
  sink += XPRESS(t, ifl, node);
  sink += XRHO(p, t, x, ifl, node);
  sink += XRHOS(p, t, x, ifl, node);
  sink += XSIG(p, t, ifl, node);
  sink += XSIGS(p, t, ifl, node);
  sink += XTEMP(p, t, x, ifl, node);
  sink += XTEMPS(p, ifl, node);
  sink += XVISC(p, t, x, ifl, node);
  sink += XVISCS(p, t, x, ifl, node);
  const auto name = FTYPEC(ifl);
  const std::int32_t slot = FTYPEI(name.view());
  static_cast<void>(sink);
  static_cast<void>(slot);
  kalvir::platform::exit_process(0);
}
