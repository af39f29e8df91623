#include "bench/peer/cvode_peer.h"

#include <cvode/cvode.h>
#include <nvector/nvector_serial.h>
#include <sundials/sundials_context.h>
#include <sunlinsol/sunlinsol_klu.h>
#include <sunmatrix/sunmatrix_sparse.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <unordered_set>

#include "runtime/casedata/acd_model_tree.h"
#include "runtime/control/control_constants.h"
#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/model_blocks.h"

namespace kalvir::bench::peer {
namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "peer: %s\n", what);
  std::exit(1);
}

// Couplings of one kind between diffusion nodes, by row (CSR), with the
// place of each in the Jacobian's data.
struct Couplings {
  std::vector<sunindextype> begin{0};
  std::vector<std::int32_t> col;
  std::vector<double> value;
  std::vector<sunindextype> jac_at;
};

struct Varying {
  std::int32_t a, b;  // states, -1 for a boundary node
  double fixed_a, fixed_b;
  double factor;
  const std::vector<double>* points;
  sunindextype aa, ab, ba, bb;  // Jacobian places, -1 where there is none
};

struct Network {
  double tabs = 0.0;
  std::vector<std::int32_t> node;   // state -> internal node
  std::vector<std::int32_t> state;  // internal node - 1 -> state, -1 for none
  std::vector<double> inv_c;
  Couplings lin, rad;               // value: G, STEFAN * GR
  std::vector<double> lin_sum, rad_sum;
  std::vector<double> inflow;       // from boundary nodes, W
  std::vector<Varying> varying;
  std::vector<double> varying_g;    // at the last right-hand side
  // Heat loads at the ACD time points, row r at [r * states].
  std::vector<double> load_times, loads;
  double period = 0.0;
  // Jacobian pattern (CSR).
  std::vector<sunindextype> pattern_begin{0}, cols, diag_at;
  std::vector<double> t4, cube;  // (T + TABS)^4, 4 (T + TABS)^3
  long rhs_calls = 0, jac_calls = 0;
};

Network net;

double curve(const std::vector<double>& p, double x) {
  const std::size_t n = p.size() / 2;
  if (x <= p[0]) return p[1];
  if (x >= p[2 * (n - 1)]) return p[2 * n - 1];
  std::size_t k = 1;
  while (p[2 * k] < x) ++k;
  const double x0 = p[2 * k - 2], y0 = p[2 * k - 1], x1 = p[2 * k], y1 = p[2 * k + 1];
  return y0 + (y1 - y0) * (x - x0) / (x1 - x0);
}

double heat_load(std::int32_t i) {
  return gar_thermalnodeheatsourcesalbedo(i) + gar_thermalnodeheatsourcesplanet(i) +
         gar_thermalnodeheatsourcesinternal(i) + gar_thermalnodeheatsourcesother(i) +
         gar_thermalnodeheatsourcessolar(i);
}

bool active(bool radiative, std::int32_t k) {
  return (radiative ? gar_radiativecondacts(k) : gar_linearcondacts(k))[0] == 'A';
}

void build(const std::vector<MeanTemperatureConductor>& varying) {
  const std::int32_t nnode = FLAGS(flagw::NNODE);
  if (FLAGS(flagw::NF) != 0) fail("fluid loops are not supported");
  net.tabs = GLOR.TABS;
  const double stefan = GLOR.STEFAN;
  net.state.assign(static_cast<std::size_t>(nnode), -1);
  for (std::int32_t i = 1; i <= nnode; ++i) {
    if (gar_thermalnodestatuses(i)[0] != 'D') continue;
    if (!(gar_thermalnodecapacitances(i) > 0.0)) fail("a diffusion node without capacitance (arithmetic nodes are not supported)");
    net.state[static_cast<std::size_t>(i - 1)] = static_cast<std::int32_t>(net.node.size());
    net.node.push_back(i);
    net.inv_c.push_back(1.0 / gar_thermalnodecapacitances(i));
  }
  const auto n = net.node.size();
  auto state_of = [](std::int32_t i) { return net.state[static_cast<std::size_t>(i - 1)]; };
  auto boundary = [](std::int32_t i) { return gar_thermalnodestatuses(i)[0] == 'B'; };
  std::unordered_set<std::int32_t> varying_numbers;
  for (const auto& v : varying) varying_numbers.insert(v.number);

  net.lin_sum.assign(n, 0.0);
  net.rad_sum.assign(n, 0.0);
  net.inflow.assign(n, 0.0);
  std::vector<std::vector<sunindextype>> row_cols(n);
  for (std::size_t s = 0; s < n; ++s) {
    const std::int32_t i = net.node[s];
    row_cols[s].push_back(static_cast<sunindextype>(s));
    for (int kind = 1; kind <= 2; ++kind) {
      const bool radiative = kind == 2;
      Couplings& c = radiative ? net.rad : net.lin;
      const std::int32_t start = gar_pcsptrsthermal(2 * kind - 1, i);
      const std::int32_t count = gar_pcsptrsthermal(2 * kind, i);
      for (std::int32_t e = 0; e < count; ++e) {
        const std::int32_t j = gar_pcsthermal(start + 2 * e);
        const std::int32_t k = gar_pcsthermal(start + 2 * e + 1);
        if (j > nnode || !active(radiative, k)) continue;
        if (!radiative && varying_numbers.count(k) != 0) continue;
        const double value = radiative ? stefan * gar_radiativeconds(k) : gar_linearconds(k);
        if (state_of(j) >= 0) {
          c.col.push_back(state_of(j));
          c.value.push_back(value);
          row_cols[s].push_back(state_of(j));
        } else if (boundary(j)) {
          const double tj = gar_thermalnodetemps(j);
          net.inflow[s] += radiative ? value * std::pow(tj + net.tabs, 4) : value * tj;
        } else {
          continue;  // a node outside the network
        }
        (radiative ? net.rad_sum : net.lin_sum)[s] += value;
      }
      c.begin.push_back(static_cast<sunindextype>(c.col.size()));
    }
  }
  for (const auto& v : varying) {
    Varying w{state_of(v.i), state_of(v.j), gar_thermalnodetemps(v.i), gar_thermalnodetemps(v.j), v.factor, v.points,
              -1, -1, -1, -1};
    if (w.a >= 0 && w.b >= 0) {
      row_cols[static_cast<std::size_t>(w.a)].push_back(w.b);
      row_cols[static_cast<std::size_t>(w.b)].push_back(w.a);
    }
    net.varying.push_back(w);
  }
  net.varying_g.assign(net.varying.size(), 0.0);

  // The Jacobian's pattern, and where each coupling lands in its data.
  std::vector<sunindextype> row_base(n);
  for (std::size_t s = 0; s < n; ++s) {
    auto& r = row_cols[s];
    std::sort(r.begin(), r.end());
    r.erase(std::unique(r.begin(), r.end()), r.end());
    row_base[s] = static_cast<sunindextype>(net.cols.size());
    net.cols.insert(net.cols.end(), r.begin(), r.end());
    net.pattern_begin.push_back(static_cast<sunindextype>(net.cols.size()));
  }
  auto at = [&](std::int32_t row, std::int32_t col) -> sunindextype {
    const auto& r = row_cols[static_cast<std::size_t>(row)];
    return row_base[static_cast<std::size_t>(row)] +
           static_cast<sunindextype>(std::lower_bound(r.begin(), r.end(), col) - r.begin());
  };
  for (std::size_t s = 0; s < n; ++s) net.diag_at.push_back(at(static_cast<std::int32_t>(s), static_cast<std::int32_t>(s)));
  for (Couplings* c : {&net.lin, &net.rad})
    for (std::size_t s = 0; s < n; ++s)
      for (sunindextype e = c->begin[s]; e < c->begin[s + 1]; ++e)
        c->jac_at.push_back(at(static_cast<std::int32_t>(s), c->col[static_cast<std::size_t>(e)]));
  for (Varying& w : net.varying) {
    if (w.a >= 0) w.aa = at(w.a, w.a);
    if (w.b >= 0) w.bb = at(w.b, w.b);
    if (w.a >= 0 && w.b >= 0) {
      w.ab = at(w.a, w.b);
      w.ba = at(w.b, w.a);
    }
  }
  net.t4.assign(n, 0.0);
  net.cube.assign(n, 0.0);
}

// The heat loads of every ACD time point, from the model's variables 1 block
// run once at each.
void tabulate_loads() {
  const auto& tree = kalvir::acds::solution_state().main;
  if (!tree || tree->analysis_case_type != 2 || tree->times.size() < 2)
    fail("the peer covers a periodic analysis case (type 2) of the main model only");
  net.load_times = tree->times;
  net.period = tree->period;
  const std::size_t n = net.node.size();
  net.loads.reserve(net.load_times.size() * n);
  for (const double t : net.load_times) {
    GLOR.TIMEM = t;
    GLOR.TIMEN = t;
    call_variables1_block();
    for (const std::int32_t i : net.node) net.loads.push_back(heat_load(i));
  }
}

// The row of the ACD time points around t (mapped into the period as the
// case data are) and the weight of the later one.
std::pair<std::size_t, double> load_slice(double t) {
  const auto& T = net.load_times;
  const double t1 = T.front(), p = net.period;
  double m = t;
  if (m < t1) m = t1 + p - std::fmod(t1 - m, p);
  if (m > t1 + p) m = t1 + std::fmod(m - t1, p);
  if (m <= T.front()) return {0, 0.0};
  if (m > T.back()) return {T.size() - 2, 1.0};
  const std::size_t j = static_cast<std::size_t>(std::lower_bound(T.begin() + 1, T.end(), m) - T.begin());
  return {j - 1, (m - T[j - 1]) / (T[j] - T[j - 1])};
}

int rhs(double t, N_Vector y, N_Vector ydot, void*) {
  ++net.rhs_calls;
  const double* v = N_VGetArrayPointer(y);
  double* out = N_VGetArrayPointer(ydot);
  const std::size_t n = net.node.size();
  const double tabs = net.tabs;
  for (std::size_t s = 0; s < n; ++s) {
    const double a = v[s] + tabs;
    net.t4[s] = (a * a) * (a * a);
  }
  const auto [r, w] = load_slice(t);
  const double* q0 = net.loads.data() + r * n;
  const double* q1 = q0 + n;
  for (std::size_t s = 0; s < n; ++s) {
    double q = (q1[s] - q0[s]) * w + q0[s] + net.inflow[s] - net.lin_sum[s] * v[s] - net.rad_sum[s] * net.t4[s];
    for (sunindextype e = net.lin.begin[s]; e < net.lin.begin[s + 1]; ++e)
      q += net.lin.value[static_cast<std::size_t>(e)] * v[net.lin.col[static_cast<std::size_t>(e)]];
    for (sunindextype e = net.rad.begin[s]; e < net.rad.begin[s + 1]; ++e)
      q += net.rad.value[static_cast<std::size_t>(e)] * net.t4[static_cast<std::size_t>(net.rad.col[static_cast<std::size_t>(e)])];
    out[s] = q;
  }
  for (std::size_t k = 0; k < net.varying.size(); ++k) {
    const Varying& c = net.varying[k];
    const double ta = c.a >= 0 ? v[c.a] : c.fixed_a;
    const double tb = c.b >= 0 ? v[c.b] : c.fixed_b;
    const double g = c.factor * curve(*c.points, 0.5 * (ta + tb));
    net.varying_g[k] = g;
    if (c.a >= 0) out[c.a] += g * (tb - ta);
    if (c.b >= 0) out[c.b] += g * (ta - tb);
  }
  for (std::size_t s = 0; s < n; ++s) out[s] *= net.inv_c[s];
  return 0;
}

// d(rate)/dT at y; the varying conductors count with their values of the
// last right-hand side.
int jacobian(double, N_Vector y, N_Vector, SUNMatrix J, void*, N_Vector, N_Vector, N_Vector) {
  ++net.jac_calls;
  const double* v = N_VGetArrayPointer(y);
  double* data = SUNSparseMatrix_Data(J);
  std::copy(net.cols.begin(), net.cols.end(), SUNSparseMatrix_IndexValues(J));
  std::copy(net.pattern_begin.begin(), net.pattern_begin.end(), SUNSparseMatrix_IndexPointers(J));
  std::fill_n(data, net.cols.size(), 0.0);
  const std::size_t n = net.node.size();
  std::vector<double>& cube = net.cube;
  for (std::size_t s = 0; s < n; ++s) {
    const double a = v[s] + net.tabs;
    cube[s] = 4.0 * a * a * a;
  }
  for (std::size_t s = 0; s < n; ++s) {
    const double ic = net.inv_c[s];
    data[net.diag_at[s]] -= (net.lin_sum[s] + net.rad_sum[s] * cube[s]) * ic;
    for (sunindextype e = net.lin.begin[s]; e < net.lin.begin[s + 1]; ++e) {
      const auto x = static_cast<std::size_t>(e);
      data[net.lin.jac_at[x]] += net.lin.value[x] * ic;
    }
    for (sunindextype e = net.rad.begin[s]; e < net.rad.begin[s + 1]; ++e) {
      const auto x = static_cast<std::size_t>(e);
      data[net.rad.jac_at[x]] += net.rad.value[x] * cube[static_cast<std::size_t>(net.rad.col[x])] * ic;
    }
  }
  for (std::size_t k = 0; k < net.varying.size(); ++k) {
    const Varying& c = net.varying[k];
    const double g = net.varying_g[k];
    if (c.a >= 0) {
      const double ic = net.inv_c[static_cast<std::size_t>(c.a)];
      data[c.aa] -= g * ic;
      if (c.ab >= 0) data[c.ab] += g * ic;
    }
    if (c.b >= 0) {
      const double ic = net.inv_c[static_cast<std::size_t>(c.b)];
      data[c.bb] -= g * ic;
      if (c.ba >= 0) data[c.ba] += g * ic;
    }
  }
  return 0;
}

void transient(void* mem, N_Vector y, double end) {
  if (CVodeReInit(mem, 0.0, y) != CV_SUCCESS) fail("CVodeReInit failed");
  if (CVodeSetStopTime(mem, end) != CV_SUCCESS) fail("CVodeSetStopTime failed");
  double t = 0.0;
  if (CVode(mem, end, y, &t, CV_NORMAL) < 0) fail("CVode failed");
}

}  // namespace

void run(const Schedule& schedule, const std::vector<MeanTemperatureConductor>& varying, double tolerance) {
  GLOR.TIMEO = 0.0;
  GLOR.TIMEND = schedule.end_time;
  build(varying);
  tabulate_loads();
  const auto n = static_cast<sunindextype>(net.node.size());
  SUNContext ctx = nullptr;
  if (SUNContext_Create(nullptr, &ctx) != 0) fail("SUNContext_Create failed");
  N_Vector y = N_VNew_Serial(n, ctx);
  N_Vector rate = N_VNew_Serial(n, ctx);
  double* v = N_VGetArrayPointer(y);
  for (sunindextype k = 0; k < n; ++k) v[k] = gar_thermalnodetemps(net.node[static_cast<std::size_t>(k)]);
  void* mem = CVodeCreate(CV_BDF, ctx);
  SUNMatrix A = SUNSparseMatrix(n, n, static_cast<sunindextype>(net.cols.size()), CSR_MAT, ctx);
  SUNLinearSolver ls = SUNLinSol_KLU(y, A, ctx);
  if (mem == nullptr || A == nullptr || ls == nullptr) fail("set-up failed");
  // The pattern is symmetric: AMD orders it with less fill than COLAMD.
  if (SUNLinSol_KLUSetOrdering(ls, 0) != 0) fail("SUNLinSol_KLUSetOrdering failed");
  if (CVodeInit(mem, rhs, 0.0, y) != CV_SUCCESS || CVodeSStolerances(mem, tolerance, tolerance) != CV_SUCCESS ||
      CVodeSetLinearSolver(mem, ls, A) != CV_SUCCESS || CVodeSetJacFn(mem, jacobian) != CV_SUCCESS ||
      CVodeSetMaxNumSteps(mem, 100000) != CV_SUCCESS)
    fail("CVodeInit failed");

  int cycles = 0;
  if (schedule.cycles >= 0) {
    // The cyclic analysis: cycles until the end-of-cycle temperatures and
    // rates settle (or the program's number of them).
    std::vector<double> last_t(v, v + n), last_rate(static_cast<std::size_t>(n), 0.0);
    for (bool settled = false;
         schedule.cycles > 0 ? cycles < schedule.cycles : !settled && cycles < schedule.max_cycles;) {
      transient(mem, y, schedule.end_time);
      ++cycles;
      rhs(schedule.end_time, y, rate, nullptr);
      const double* r = N_VGetArrayPointer(rate);
      settled = cycles > 1;
      for (sunindextype k = 0; k < n; ++k) {
        const auto kk = static_cast<std::size_t>(k);
        if (std::abs(v[k] - last_t[kk]) >= schedule.tolt || std::abs(r[k] - last_rate[kk]) >= schedule.tolr)
          settled = false;
        last_t[kk] = v[k];
        last_rate[kk] = r[k];
      }
    }
  }
  transient(mem, y, schedule.end_time);  // the (final) transient
  long steps = 0;
  CVodeGetNumSteps(mem, &steps);
  std::fprintf(stderr,
               "peer: %zu diffusion nodes, %zu linear and %zu radiative couplings, %zu varying conductors; "
               "tolerance %g, %d cycles, %ld steps in the final transient, %ld right-hand sides, %ld Jacobians\n",
               net.node.size(), net.lin.col.size(), net.rad.col.size(), net.varying.size(), tolerance, cycles, steps,
               net.rhs_calls, net.jac_calls);
  for (sunindextype k = 0; k < n; ++k) gar_thermalnodetemps(net.node[static_cast<std::size_t>(k)]) = v[k];
  std::ofstream out("peer_final.txt");
  out.precision(17);
  for (std::int32_t i = 1; i <= FLAGS(flagw::NNODE); ++i)
    out << gar_thermalnodenums(i) << ' ' << gar_thermalnodetemps(i) << '\n';
  CVodeFree(&mem);
  SUNLinSolFree(ls);
  SUNMatDestroy(A);
  N_VDestroy(y);
  N_VDestroy(rate);
  SUNContext_Free(&ctx);
}

}  // namespace kalvir::bench::peer
