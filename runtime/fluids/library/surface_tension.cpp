#include "runtime/fluids/library/surface_tension.h"

#include <cmath>

namespace {

struct PowerLaw {
  double tc;  // K
  double s;   // N/m
  double n;
};

constexpr PowerLaw kWater{647.15, 0.2358, 1.256};
constexpr PowerLaw kR11{471.15, 0.070873, 1.22};
constexpr PowerLaw kR12{385.17, 0.086215, 1.22};
constexpr PowerLaw kR21{451.61, 0.07802, 1.22};
constexpr PowerLaw kR22{369.17, 0.090731, 1.22};
constexpr PowerLaw kR114{418.86, 0.068758, 1.22};
constexpr PowerLaw kR502{355.31, 0.072616, 1.22};
constexpr PowerLaw kAmmonia{405.4, 0.09593, 1.1624};

// 1 - Ta/Tc. The power law vanishes at the critical point and has no real
// value beyond it, where the liquid no longer exists: the tension is 0 there.
double distance(const PowerLaw& law, double T, double TOFF) {
  const double tau = 1.0 - (T + TOFF) / law.tc;
  return tau > 0.0 ? tau : 0.0;
}

double sigma(const PowerLaw& law, double T, double TOFF) {
  return law.s * std::pow(distance(law, T, TOFF), law.n);
}

}  // namespace

double PSIG01(double T, double TOFF) {
  const double tau = distance(kWater, T, TOFF);
  return kWater.s * std::pow(tau, kWater.n) * (1.0 - 0.625 * tau);
}
double PSIG03(double T, double TOFF) { return sigma(kR11, T, TOFF); }
double PSIG05(double T, double TOFF) { return sigma(kR12, T, TOFF); }
double PSIG07(double T, double TOFF) { return sigma(kR21, T, TOFF); }
double PSIG09(double T, double TOFF) { return sigma(kR22, T, TOFF); }
double PSIG11(double T, double TOFF) { return sigma(kR114, T, TOFF); }
double PSIG13(double T, double TOFF) { return sigma(kR502, T, TOFF); }
double PSIG15(double T, double TOFF) { return sigma(kAmmonia, T, TOFF); }
