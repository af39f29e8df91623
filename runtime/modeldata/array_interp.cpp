#include "runtime/modeldata/array_interp.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string_view>

#include "runtime/control/flags.h"
#include "runtime/control/global_arrays.h"
#include "runtime/control/messages.h"
#include "runtime/modeldata/interp_kernels.h"

namespace {

using kalvir::detail::undefined_abscissa;

namespace form = kalvir::array_form;

// Abscissae closer than this are one point for the linear interpolation.
constexpr double kTiny = 1.0e-37;

constexpr std::size_t kMaxDims = 7;

// Values start .. start + count - 1 of a store that APARS has checked.
template <class Store>
auto store_span(const Store& store, std::int32_t start, std::int32_t count) {
  using T = std::remove_cvref_t<decltype(*store.data())>;
  if (count < 1) return std::span<const T>{};
  return store.span().subspan(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(count));
}

// True when values start .. start + count - 1 lie inside a store of `size`.
bool inside(std::int64_t start, std::int64_t count, std::int64_t size) {
  return count >= 0 && (count == 0 || (start >= 1 && start + count - 1 <= size));
}

struct Decoded {
  std::int32_t head = 0, start = 0, ndim = 0, nval = 0, nelem = 0, form = 0;
  std::array<std::int32_t, kMaxDims> dims{};
};

// Where x lies against a doublet list.
enum class Reach { kInside, kBelow, kAbove };

// LS1INT's interpolation over the first n points at p, without its messages.
// The interval is that of the first point from the second on whose abscissa
// is not below x; an undefined abscissa ends the data.
inline Reach linear_in_doublets(const double* p, std::int64_t n, double x, double& result) {
  if (n < 1 || undefined_abscissa(p[0]) || x < p[0]) {
    result = n >= 1 ? p[1] : 0.0;
    return Reach::kBelow;
  }
  if (x == p[0]) {
    result = p[1];
    return Reach::kInside;
  }
  const double* const end = p + 2 * n;
  for (const double* q = p + 2; q != end; q += 2) {
    const double xk = q[0];
    if (undefined_abscissa(xk)) {
      result = q[-1];
      return Reach::kAbove;
    }
    if (!(xk < x)) {
      const double xl = q[-2];
      if (std::fabs(xk - xl) < kTiny) {
        result = q[-1];
      } else {
        const double yk = q[1];
        result = yk - (xk - x) * (yk - q[-1]) / (xk - xl);
      }
      return Reach::kInside;
    }
  }
  result = end[-1];
  return Reach::kAbove;
}

// A linear lookup in a curve whose entry and value fit the common case: a
// real ARRAY of dimensions (2, n) whose entry decodes cleanly, and x inside
// its data. The conductor evaluation makes such a lookup for every
// conductor at every iteration, so it reads only the entry words it needs
// and makes only the checks of APARS and INTRP1 that this shape can fail.
// False for anything else: the caller then goes the whole way from the
// start, with the same result and whatever messages belong.
inline bool linear_curve_value(std::int32_t iarray, bool declared_points, double x, double& result) {
  const auto& pointers = gar_arrayinfopointers;
  if (iarray < 1 || iarray > FLAGS(19) || iarray > pointers.size()) return false;
  const std::int64_t p = pointers(iarray);
  const auto& list = gar_arrayinfolist;
  if (p < 1 || p + 5 > list.size()) return false;
  // Form, number of values, start, number of dimensions, the dimensions.
  const std::int32_t* const entry = &list(p);
  if (entry[0] != form::kReal || entry[3] != 2 || entry[4] != 2) return false;
  const std::int64_t nval = entry[1];
  const std::int64_t start = entry[2];
  const std::int64_t extent = entry[5];
  if (extent < 1 || 2 * extent > nval || start < 1 || start + nval - 1 > gar_arrayvaluesreal.size()) {
    return false;
  }
  const std::int64_t n = declared_points ? extent : nval / 2;
  return linear_in_doublets(&gar_arrayvaluesreal(start), n, x, result) == Reach::kInside;
}

// INTRP1 and INTCY1 differ only in their name and in how many points of a
// curve they read. Kept out of line, so that the common case above stays a
// short leaf.
[[gnu::noinline]] double interpolate_any(std::string_view routine, double x, std::int32_t iarray,
                                         std::int32_t norder, bool declared_points) {
  Decoded d;
  std::int32_t status = 0;
  APARS(iarray, d.head, d.start, d.ndim, d.dims, d.nval, d.nelem, d.form, status);
  if (status != 0) return 0.0;

  if (d.form == form::kReal) {
    if (d.ndim != 2) {
      SETERX("Wrong number of dimensions", 3, 2, routine);
      return 0.0;
    }
    if (d.dims[0] != 2) {
      SETERX("Wrong dimensions", 3, 3, routine);
      return 0.0;
    }
    const std::int32_t n = declared_points ? d.dims[1] : d.nval / 2;
    const auto points = store_span(gar_arrayvaluesreal, d.start, 2 * n);
    double result = 0.0;
    if (norder == 1) {
      LS1INT(points, n, x, result, status);
      return result;
    }
    std::int32_t first = 0;
    std::int32_t size = 0;
    LSPNT2(points, n, norder, x, first, size, status);
    if (status == 1) {
      SETERX("Bad order for interpolation", 2, 4, routine);
    } else if (status == 2) {
      SETERX("Value out of range of data", 2, 5, routine);
    } else if (status == 10) {
      SETERX("Undefined independent variables", 4, 9, routine);
      return 0.0;
    }
    LSLGN2(points.subspan(2 * static_cast<std::size_t>(first - 1)), size, x, result, status);
    // Coincident abscissae (a step in the curve): the sum without the
    // dividing factor is still the value returned.
    if (status == 1) SETERX("Division by zero", 3, 6, routine);
    return result;
  }

  if (d.form == form::kTable) {
    if (d.ndim != 1) {
      SETERX("Wrong number of dimensions", 3, 7, routine);
      return 0.0;
    }
    double result = 0.0;
    LSINT1(store_span(gar_arrayvaluesreal, d.start, d.nelem),
           store_span(gar_arrayvaluesint, d.head, d.nval), 1, norder, 0, d.nval, d.nelem, x,
           result, status);
    return result;
  }

  SETERX("Wrong arithmetic type", 3, 8, routine);
  return 0.0;
}

double interpolate_curve(std::string_view routine, double x, std::int32_t iarray,
                         std::int32_t norder, bool declared_points) {
  double result = 0.0;
  if (norder == 1 && linear_curve_value(iarray, declared_points, x, result)) [[likely]] return result;
  return interpolate_any(routine, x, iarray, norder, declared_points);
}

}  // namespace

void APARS(std::int32_t IARRAY, std::int32_t& IHEAD, std::int32_t& ISTART, std::int32_t& NDIM,
           std::span<std::int32_t> IDIM, std::int32_t& NVAL, std::int32_t& NELEM,
           std::int32_t& IFORM, std::int32_t& IERR) {
  IHEAD = 0;
  ISTART = 0;
  NDIM = 0;
  NVAL = 0;
  NELEM = 0;
  IFORM = 0;
  IERR = 0;
  const auto invalid_array = [&] {
    SETERX("Invalid array", 4, 1, "APARS");
    IERR = 402;
  };
  const auto invalid_size = [&] {
    SETERX("Invalid array size", 4, 2, "APARS");
    IERR = 401;
  };

  const std::int64_t narrays = std::min<std::int64_t>(FLAGS(19), gar_arrayinfopointers.size());
  if (IARRAY < 1 || IARRAY > narrays) {
    invalid_array();
    return;
  }
  // The entry's words, and everything they point at, come from the model
  // file: an entry that runs off the info list or a value range that runs
  // off its store is refused rather than read.
  const auto& list = gar_arrayinfolist;
  const std::int64_t p = gar_arrayinfopointers(IARRAY);
  const std::int64_t words = list.size();
  if (p < 1 || p + 3 > words) {
    invalid_array();
    return;
  }
  const std::int32_t kind = list(p);
  const std::int32_t nval = list(p + 1);
  const std::int32_t start = list(p + 2);

  if (kind == form::kTable) {
    if (p + 5 > words) {
      invalid_array();
      return;
    }
    const std::int32_t nreal = list(p + 3);
    const std::int32_t rstart = list(p + 4);
    if (!inside(start, nval, gar_arrayvaluesint.size()) ||
        !inside(rstart, nreal, gar_arrayvaluesreal.size())) {
      invalid_size();
      return;
    }
    IHEAD = start;
    ISTART = rstart;
    NDIM = list(p + 5);
    NVAL = nval;
    NELEM = nreal;
    IFORM = kind;
    return;
  }

  const std::int32_t ndim = list(p + 3);
  if (ndim < 0 || p + 3 + ndim > words) {
    invalid_size();
    return;
  }
  // Every extent must be positive; once the product passes the number of
  // values the entry is wrong whatever follows, so it cannot overflow.
  std::int64_t product = 1;
  for (std::int32_t k = 1; k <= ndim; ++k) {
    const std::int32_t extent = list(p + 3 + k);
    if (static_cast<std::size_t>(k) <= IDIM.size()) IDIM[static_cast<std::size_t>(k - 1)] = extent;
    if (extent < 1 || product * extent > nval) {
      product = 0;
      break;
    }
    product *= extent;
  }
  if (product < 1 || product > nval) {
    invalid_size();
    return;
  }
  bool fits = true;
  switch (kind) {
    case form::kInteger:
      fits = inside(start, nval, gar_arrayvaluesint.size());
      break;
    case form::kReal:
    case form::kStepEvents:
    case form::kStepAndOutputEvents:
      fits = inside(start, nval, gar_arrayvaluesreal.size());
      break;
    case form::kCharacter:
      // Character values are strings of the packed store: only the start
      // position can be checked here.
      fits = start >= 1 && start <= gar_arrayvalueschar.size() *
                                        static_cast<std::int64_t>(kalvir::gar::C133::width);
      break;
    default:
      break;
  }
  if (!fits) {
    invalid_size();
    return;
  }
  ISTART = start;
  NDIM = ndim;
  NVAL = nval;
  NELEM = static_cast<std::int32_t>(product);
  IFORM = kind;
}

void ATYPR(std::int32_t IARRAY, std::int32_t& IHEAD, std::int32_t& ISTART, std::int32_t& NDIM,
           std::span<std::int32_t> IDIM, std::int32_t& NVAL, std::int32_t& NELEM,
           std::int32_t& IFORM, std::int32_t& IERR) {
  APARS(IARRAY, IHEAD, ISTART, NDIM, IDIM, NVAL, NELEM, IFORM, IERR);
  if (IERR != 0) return;
  if (IFORM != form::kReal && IFORM != form::kTable) {
    SETERX("Wrong arithmetic type", 3, 1, "ATYPR");
    IERR = 303;
  }
}

double INTRP1(double X, std::int32_t IARRAY, std::int32_t NORDER) {
  return interpolate_curve("INTRP1", X, IARRAY, NORDER, false);
}

double INTCY1(double X, std::int32_t IARRAY, std::int32_t NORDER, double PERIOD, double SHIFT) {
  // Without a positive period there is no cycle to reduce into.
  if (!(PERIOD > 0.0) || !std::isfinite(PERIOD)) {
    SETERX("Bad period for cyclic interpolation", 3, 10, "INTCY1");
    return 0.0;
  }
  double t = std::fmod(X + SHIFT, PERIOD);
  if (t < 0.0) t += PERIOD;
  return interpolate_curve("INTCY1", t, IARRAY, NORDER, true);
}

double INTRP2(double X, double Y, std::int32_t IARRAY, std::int32_t NORDER) {
  std::int32_t order = NORDER;
  if (order < 0) {
    SETERX("Bad order for interpolation", 2, 1, "INTRP2");
    order = 0;
  } else if (order > 2) {
    SETERX("Bad order for interpolation", 2, 2, "INTRP2");
    order = 2;
  }
  Decoded d;
  std::int32_t status = 0;
  ATYPR(IARRAY, d.head, d.start, d.ndim, d.dims, d.nval, d.nelem, d.form, status);
  if (status != 0) {
    SETERX("Failed in FETCH routine", 4, 3, "INTRP2");
    return 0.0;
  }
  if (d.form == form::kReal) {
    SETERX("Wrong arithmetic type", 3, 4, "INTRP2");
    return 0.0;
  }
  if (d.ndim != 2) {
    SETERX("Wrong number of dimensions", 3, 5, "INTRP2");
    return 0.0;
  }
  const auto header = store_span(gar_arrayvaluesint, d.head, d.nval);
  // Header word 2 names the table dimension that the first argument supplies.
  const bool swapped = header.size() >= 2 && header[1] == 2;
  double result = 0.0;
  LSINT2(store_span(gar_arrayvaluesreal, d.start, d.nelem), header, 2, order, d.nval, d.nelem,
         swapped ? Y : X, swapped ? X : Y, result, status);
  return result;
}

double CNDFN1(double T1, double T2, std::int32_t IARRAY, std::int32_t NORDER) {
  return INTRP1((T1 + T2) * 0.5, IARRAY, NORDER);
}

void LS1INT(std::span<const double> POINTS, std::int32_t N, double X, double& RESULT,
            std::int32_t& IERR) {
  IERR = 0;
  const std::int64_t n = std::clamp<std::int64_t>(N, 0, static_cast<std::int64_t>(POINTS.size() / 2));
  const Reach reach = linear_in_doublets(POINTS.data(), n, X, RESULT);
  if (reach == Reach::kInside) return;
  SETERX("Value out of range of data", 2, reach == Reach::kBelow ? 1 : 3, "LS1INT");
  IERR = 204;
}
