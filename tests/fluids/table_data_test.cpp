// Checks the embedded property tables against what is known independently of
// them: the listed grids and values, the fixed interpolated results, the
// reference data set they were built from (shared/fluid-tables) and the
// direction that physics gives each quantity.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/fluids/library/saturation_tables.h"
#include "runtime/fluids/library/table_data.h"
#include "runtime/fluids/library/temperature_tables.h"
#include "tests/support/test_support.h"

namespace table_data_test {

namespace kf = kalvir::fluids;

struct GridRange {
  double first;
  double last;
  std::size_t points;
};

struct MemberGrid {
  std::string name;
  std::vector<GridRange> ranges;
};

struct Row {
  std::string_view member;
  double x;
  double value;
};

// The grids as listed: each range as first point, last point, points.
const std::vector<MemberGrid> kGrids = {
    {"PCND01", {{273.16, 447.76, 98}, {447.76, 624.16, 99}}},
    {"PCND02", {{273.16, 471.16, 100}, {471.16, 623.76, 110}}},
    {"PCND03", {{199.95, 372.75, 97}, {372.75, 470.75, 99}}},
    {"PCND04", {{288.71, 372.71, 106}, {372.71, 471.71, 111}}},
    {"PCND05", {{177.6, 299.2, 77}, {299.2, 385.2, 87}}},
    {"PCND06", {{244.26, 347.46, 87}, {347.46, 384.66, 63}}},
    {"PCND07", {{188.15, 342.95, 87}, {342.95, 451.95, 110}}},
    {"PCND08", {{288.15, 412.65, 84}, {412.65, 451.65, 66}}},
    {"PCND09", {{199.85, 304.25, 59}, {304.25, 369.05, 82}}},
    {"PCND10", {{233.15, 342.65, 74}, {342.65, 369.05, 89}}},
    {"PCND11", {{199.85, 311.45, 63}, {311.45, 418.25, 90}}},
    {"PCND12", {{277.15, 342.75, 83}, {342.75, 418.75, 96}}},
    {"PCND13", {{199.15, 312.75, 72}, {312.75, 355.35, 72}}},
    {"PCND14", {{221.15, 313.15, 116}, {313.15, 355.15, 85}}},
    {"PCND15", {{195.45, 278.05, 60}, {278.05, 363.45, 62}}},
    {"PCND16", {{195.45, 332.25, 77}, {332.25, 363.05, 78}}},
    {"PCP01", {{273.16, 447.96, 93}, {447.96, 624.66, 94}}},
    {"PCP02", {{273.16, 470.96, 87}, {470.96, 624.41, 94}}},
    {"PCP03", {{199.95, 372.0, 94}, {372.0, 471.0, 91}}},
    {"PCP05", {{177.6, 299.1, 91}, {299.1, 386.1, 88}}},
    {"PCP07", {{188.15, 342.85, 92}, {342.85, 452.05, 92}}},
    {"PCP08", {{288.15, 412.75, 90}, {412.75, 451.81, 94}}},
    {"PCP09", {{199.85, 304.25, 88}, {304.25, 370.05, 95}}},
    {"PCP11", {{199.85, 312.95, 88}, {312.95, 419.75, 90}}},
    {"PCP13", {{199.15, 312.25, 88}, {312.25, 355.75, 88}}},
    {"PCP15", {{195.45, 278.25, 93}, {278.25, 364.25, 87}}},
    {"PCP16", {{195.45, 331.95, 92}, {331.95, 363.45, 91}}},
    {"PVSC01", {{273.16, 447.96, 93}, {447.96, 624.66, 94}}},
    {"PVSC02", {{273.16, 475.0, 101}, {475.0, 623.15, 101}}},
    {"PVSC03", {{199.95, 372.0, 94}, {372.0, 471.0, 91}}},
    {"PVSC04", {{288.71, 372.31, 89}, {372.31, 471.31, 91}}},
    {"PVSC05", {{177.6, 299.1, 91}, {299.1, 386.1, 88}}},
    {"PVSC06", {{244.26, 347.46, 87}, {347.46, 385.68, 92}}},
    {"PVSC07", {{188.15, 342.85, 92}, {342.85, 452.05, 92}}},
    {"PVSC08", {{288.15, 412.75, 90}, {412.75, 451.81, 94}}},
    {"PVSC09", {{199.85, 304.25, 88}, {304.25, 370.05, 95}}},
    {"PVSC10", {{233.15, 342.35, 92}, {342.35, 369.35, 91}}},
    {"PVSC11", {{199.85, 312.95, 88}, {312.95, 419.75, 90}}},
    {"PVSC12", {{277.15, 343.15, 89}, {343.15, 419.65, 91}}},
    {"PVSC13", {{199.15, 312.25, 88}, {312.25, 355.75, 88}}},
    {"PVSC14", {{221.15, 312.45, 84}, {312.45, 355.45, 87}}},
    {"PVSC15", {{195.45, 278.25, 93}, {278.25, 364.25, 87}}},
    {"PVSC16", {{195.45, 331.95, 92}, {331.95, 363.45, 91}}},
    {"PETH01",
     {{610.0, 20810.0, 102}, {20810.0, 110810.0, 101},
      {110810.0, 2090810.0, 100}, {2090810.0, 20090810.0, 91}}},
    {"PETH02",
     {{610.0, 20810.0, 102}, {20810.0, 110810.0, 101},
      {110810.0, 2090810.0, 100}, {2090810.0, 20090810.0, 91}}},
    {"PETH03",
     {{610.0, 9710.0, 92}, {9710.0, 199710.0, 101},
      {199710.0, 983710.0, 99}, {983710.0, 4183710.0, 101}}},
    {"PETH04", {{610.0, 150610.0, 101}, {150610.0, 4209610.0, 100}}},
    {"PETH05",
     {{610.0, 46588.0, 98}, {46588.0, 69908.0, 107},
      {69908.0, 491308.0, 99}, {491308.0, 4091308.0, 101}}},
    {"PETH06", {{610.0, 150610.0, 101}, {150610.0, 4045610.0, 96}}},
    {"PETH07",
     {{610.0, 20000.0, 101}, {20000.0, 200000.0, 101},
      {200000.0, 1000000.0, 101}, {1000000.0, 5200000.0, 101}}},
    {"PETH08",
     {{610.0, 100000.0, 101}, {100000.0, 1000000.0, 101},
      {1000000.0, 2000000.0, 101}, {2000000.0, 5200000.0, 101}}},
    {"PETH09", {{610.0, 147610.0, 99}, {147610.0, 4899610.0, 100}}},
    {"PETH10", {{610.0, 150610.0, 101}, {150610.0, 4900610.0, 96}}},
    {"PETH11",
     {{610.0, 37240.0, 100}, {37240.0, 150240.0, 101},
      {150240.0, 1190645.0, 110}, {1190645.0, 3190645.0, 101}}},
    {"PETH12", {{610.0, 150610.0, 101}, {150610.0, 3188610.0, 99}}},
    {"PETH13",
     {{610.0, 9710.0, 92}, {9710.0, 199710.0, 101},
      {199710.0, 983710.0, 99}, {983710.0, 3983710.0, 101}}},
    {"PETH14", {{610.0, 150610.0, 101}, {150610.0, 4070610.0, 99}}},
    {"PETH15",
     {{10000.0, 490000.0, 97}, {490000.0, 900000.0, 83},
      {900000.0, 1300000.0, 101}, {1300000.0, 3300000.0, 101}, {3300000.0, 8400000.0, 103}, {8400000.0, 11000000.0, 53}}},
    {"PETH16",
     {{10000.0, 598000.0, 99}, {598000.0, 3328000.0, 92},
      {3300000.0, 8400000.0, 103}, {8400000.0, 11000000.0, 53}}},
    {"PRHO02",
     {{610.0, 39616.0, 100}, {39616.0, 999616.0, 101},
      {999616.0, 2999616.0, 101}, {2999616.0, 10999616.0, 101}}},
    {"PRHO04",
     {{610.0, 39616.0, 100}, {39616.0, 999616.0, 101},
      {999616.0, 2999616.0, 101}, {2999616.0, 4199616.0, 101}}},
    {"PRHO06",
     {{610.0, 39616.0, 100}, {39616.0, 999616.0, 101},
      {999616.0, 2999616.0, 101}, {2999616.0, 3999616.0, 101}}},
    {"PRHO08",
     {{610.0, 40000.0, 101}, {40000.0, 1000000.0, 101},
      {1000000.0, 3000000.0, 101}, {3000000.0, 5200000.0, 101}}},
    {"PRHO10",
     {{610.0, 39616.0, 100}, {39616.0, 999616.0, 101},
      {999616.0, 2999616.0, 101}, {2999616.0, 4799616.0, 101}}},
    {"PRHO12",
     {{610.0, 39616.0, 100}, {39616.0, 999616.0, 101},
      {999616.0, 2799616.0, 101}, {2799616.0, 3199616.0, 101}}},
    {"PRHO14",
     {{610.0, 39616.0, 100}, {39616.0, 999616.0, 101},
      {999616.0, 2999616.0, 101}, {2999616.0, 3999616.0, 101}}},
    {"PRHO01", {{273.16, 497.33, 80}, {497.33, 623.45, 83}}},
    {"PRHO03", {{199.95, 401.4, 80}, {401.4, 469.952, 83}}},
    {"PRHO05", {{177.6, 347.845, 80}, {347.845, 384.973, 85}}},
    {"PRHO07", {{188.15, 319.29, 80}, {319.29, 451.21, 81}}},
    {"PRHO09", {{199.85, 348.123, 80}, {348.123, 369.09, 88}}},
    {"PRHO11", {{199.85, 373.65, 80}, {373.65, 418.47, 84}}},
    {"PRHO13", {{199.15, 328.52, 80}, {328.52, 355.064, 85}}},
    {"PRHO15", {{195.45, 278.105, 80}, {278.105, 362.905, 81}}},
    {"PRHO16",
     {{195.45, 300.0, 101}, {300.0, 370.0, 101},
      {370.0, 395.0, 101}, {395.0, 405.15, 101}}},
    {"PTS02",
     {{610.0, 20810.0, 102}, {20810.0, 110810.0, 101},
      {110810.0, 2090810.0, 100}, {2090810.0, 20090810.0, 91}}},
    {"PTS04",
     {{610.0, 59416.0, 100}, {59416.0, 199416.0, 101},
      {199416.0, 999416.0, 101}, {999416.0, 4499416.0, 101}}},
    {"PTS06",
     {{610.0, 59416.0, 100}, {59416.0, 199416.0, 101},
      {199416.0, 999416.0, 101}, {999416.0, 4199416.0, 101}}},
    {"PTS08",
     {{610.0, 59416.0, 100}, {59416.0, 199416.0, 101},
      {199416.0, 999416.0, 101}, {999416.0, 5199416.0, 101}}},
    {"PTS10",
     {{610.0, 59416.0, 100}, {59416.0, 199416.0, 101},
      {199416.0, 999416.0, 101}, {999416.0, 4999416.0, 101}}},
    {"PTS12",
     {{610.0, 59416.0, 100}, {59416.0, 199416.0, 101},
      {199416.0, 999416.0, 101}, {999416.0, 3299416.0, 101}}},
    {"PTS14",
     {{610.0, 59416.0, 100}, {59416.0, 199416.0, 101},
      {199416.0, 999416.0, 101}, {999416.0, 4199416.0, 101}}},
    {"PTS16",
     {{10000.0, 60000.0, 101}, {60000.0, 200000.0, 101},
      {200000.0, 1000000.0, 101}, {1000000.0, 3300000.0, 101}, {3300000.0, 8400000.0, 103}, {8400000.0, 11100000.0, 55}}},
    {"PKT15", {{-77.0, 31.0, 109}, {31.0, 91.0, 61}}},
};

// The listed values: member, abscissa (K, Pa, or degrees Celsius for PKT15), value.
const std::vector<Row> kRows = {
    {"PCND01", 273.16, 0.5683}, {"PCND01", 359.56, 0.6693}, {"PCND01", 447.76, 0.6792},
    {"PCND01", 535.96, 0.6016}, {"PCND01", 624.16, 0.4375},
    {"PCND02", 273.16, 0.0173}, {"PCND02", 371.16, 0.0249}, {"PCND02", 471.16, 0.0397},
    {"PCND02", 546.76, 0.0583}, {"PCND02", 623.76, 0.1362},
    {"PCND03", 199.95, 0.1149}, {"PCND03", 286.35, 0.0908}, {"PCND03", 372.75, 0.0662},
    {"PCND03", 421.75, 0.0534}, {"PCND03", 470.75, 0.0246},
    {"PCND04", 288.71, 0.01018}, {"PCND04", 330.31, 0.00935}, {"PCND04", 372.71, 0.0111},
    {"PCND04", 422.21, 0.01391}, {"PCND04", 471.71, 0.02235},
    {"PCND05", 177.6, 0.1131}, {"PCND05", 238.4, 0.091}, {"PCND05", 299.2, 0.0686},
    {"PCND05", 342.2, 0.0534}, {"PCND05", 385.2, 0.0242},
    {"PCND06", 244.26, 0.00701}, {"PCND06", 295.86, 0.00942}, {"PCND06", 347.46, 0.01287},
    {"PCND06", 366.06, 0.01365}, {"PCND06", 384.66, 0.02088},
    {"PCND07", 188.15, 0.1438}, {"PCND07", 265.55, 0.1145}, {"PCND07", 342.95, 0.085},
    {"PCND07", 396.95, 0.0651}, {"PCND07", 451.95, 0.0294},
    {"PCND08", 288.15, 0.00843}, {"PCND08", 349.65, 0.01101}, {"PCND08", 412.65, 0.01423},
    {"PCND08", 431.85, 0.01574}, {"PCND08", 451.65, 0.02569},
    {"PCND09", 199.85, 0.1364}, {"PCND09", 252.05, 0.1105}, {"PCND09", 304.25, 0.0843},
    {"PCND09", 336.25, 0.0692}, {"PCND09", 369.05, 0.0331},
    {"PCND10", 233.15, 0.00699}, {"PCND10", 287.15, 0.01013}, {"PCND10", 342.65, 0.01429},
    {"PCND10", 355.85, 0.01766}, {"PCND10", 369.05, 0.02922},
    {"PCND11", 199.85, 0.0902}, {"PCND11", 255.65, 0.0756}, {"PCND11", 311.45, 0.0611},
    {"PCND11", 364.25, 0.0468}, {"PCND11", 418.25, 0.0224},
    {"PCND12", 277.15, 0.00918}, {"PCND12", 309.95, 0.01107}, {"PCND12", 342.75, 0.01295},
    {"PCND12", 380.35, 0.01515}, {"PCND12", 418.75, 0.01768},
    {"PCND13", 199.15, 0.103}, {"PCND13", 255.15, 0.0814}, {"PCND13", 312.75, 0.0583},
    {"PCND13", 333.75, 0.0492}, {"PCND13", 355.35, 0.0251},
    {"PCND14", 221.15, 0.01298}, {"PCND14", 266.75, 0.01}, {"PCND14", 313.15, 0.01283},
    {"PCND14", 334.15, 0.01372}, {"PCND14", 355.15, 0.02366},
    {"PCND15", 195.45, 0.6312}, {"PCND15", 236.05, 0.5768}, {"PCND15", 278.05, 0.5097},
    {"PCND15", 320.05, 0.4292}, {"PCND15", 363.45, 0.3292},
    {"PCND16", 195.45, 0.01526}, {"PCND16", 263.85, 0.02172}, {"PCND16", 332.25, 0.03916},
    {"PCND16", 347.45, 0.044}, {"PCND16", 363.05, 0.0635}, {"PCND16", 197.25, 0.01529},
    {"PCP01", 273.16, 4198.12}, {"PCP01", 360.56, 4200.61}, {"PCP01", 447.96, 4385.72},
    {"PCP01", 535.36, 5018.32}, {"PCP01", 624.66, 10680.53},
    {"PCP02", 273.16, 1868.07}, {"PCP02", 372.06, 2030.76}, {"PCP02", 470.96, 2846.68},
    {"PCP02", 546.86, 4728.39}, {"PCP02", 624.41, 16944.59},
    {"PCP03", 199.95, 816.76}, {"PCP03", 285.05, 875.84}, {"PCP03", 372.0, 965.79},
    {"PCP03", 421.5, 1043.34}, {"PCP03", 471.0, 1256.88},
    {"PCP05", 177.6, 832.42}, {"PCP05", 238.35, 891.12}, {"PCP05", 299.1, 975.45},
    {"PCP05", 342.1, 1184.99}, {"PCP05", 386.1, 1897.43},
    {"PCP07", 188.15, 563.15}, {"PCP07", 264.65, 557.59}, {"PCP07", 342.85, 654.78},
    {"PCP07", 396.85, 1109.07}, {"PCP07", 452.05, 5416.11},
    {"PCP08", 288.15, 322.3}, {"PCP08", 349.75, 386.48}, {"PCP08", 412.75, 564.35},
    {"PCP08", 432.07, 693.46}, {"PCP08", 451.81, 914.99},
    {"PCP09", 199.85, 1067.64}, {"PCP09", 251.45, 1127.39}, {"PCP09", 304.25, 1276.7},
    {"PCP09", 337.15, 1540.04}, {"PCP09", 370.05, 2112.85},
    {"PCP11", 199.85, 786.86}, {"PCP11", 255.75, 913.55}, {"PCP11", 312.95, 1046.27},
    {"PCP11", 365.75, 1176.74}, {"PCP11", 419.75, 1294.3},
    {"PCP13", 199.15, 566.76}, {"PCP13", 255.05, 628.79}, {"PCP13", 312.25, 718.75},
    {"PCP13", 333.75, 756.76}, {"PCP13", 355.75, 825.5},
    {"PCP15", 195.45, 4841.28}, {"PCP15", 236.85, 4419.14}, {"PCP15", 278.25, 4649.18},
    {"PCP15", 321.25, 5042.01}, {"PCP15", 364.25, 6275.14},
    {"PCP16", 195.45, 1986.81}, {"PCP16", 262.95, 2503.58}, {"PCP16", 331.95, 4168.26},
    {"PCP16", 347.7, 4981.95}, {"PCP16", 363.45, 6436.2},
    {"PVSC01", 273.16, 0.001793}, {"PVSC01", 360.56, 0.0003238}, {"PVSC01", 447.96, 0.000155},
    {"PVSC01", 535.36, 0.0001007}, {"PVSC01", 624.66, 6.497e-05},
    {"PVSC02", 273.16, 9.226e-06}, {"PVSC02", 374.08, 1.231e-05}, {"PVSC02", 475.0, 1.577e-05},
    {"PVSC02", 549.08, 1.852e-05}, {"PVSC02", 623.15, 2.382e-05},
    {"PVSC03", 199.95, 0.001654}, {"PVSC03", 285.05, 0.0004732}, {"PVSC03", 372.0, 0.0002376},
    {"PVSC03", 421.5, 0.0001697}, {"PVSC03", 471.0, 4.216e-05},
    {"PVSC04", 288.71, 1.08e-05}, {"PVSC04", 330.51, 1.267e-05}, {"PVSC04", 372.31, 1.337e-05},
    {"PVSC04", 421.81, 1.69e-05}, {"PVSC04", 471.31, 3.243e-05},
    {"PVSC05", 177.6, 0.001007}, {"PVSC05", 238.35, 0.0003789}, {"PVSC05", 299.1, 0.0002115},
    {"PVSC05", 342.1, 0.0001556}, {"PVSC05", 386.1, 3.648e-05},
    {"PVSC06", 244.26, 1.032e-05}, {"PVSC06", 295.86, 1.235e-05}, {"PVSC06", 347.46, 1.641e-05},
    {"PVSC06", 366.36, 1.764e-05}, {"PVSC06", 385.68, 2.987e-05},
    {"PVSC07", 188.15, 0.001314}, {"PVSC07", 264.65, 0.0004273}, {"PVSC07", 342.85, 0.0002259},
    {"PVSC07", 396.85, 0.0001685}, {"PVSC07", 452.05, 4.25e-05},
    {"PVSC08", 288.15, 1.128e-05}, {"PVSC08", 349.75, 1.341e-05}, {"PVSC08", 412.75, 1.762e-05},
    {"PVSC08", 432.07, 1.89e-05}, {"PVSC08", 451.81, 2.992e-05},
    {"PVSC09", 199.85, 0.0004755}, {"PVSC09", 251.45, 0.0002752}, {"PVSC09", 304.25, 0.0001896},
    {"PVSC09", 337.15, 0.0001565}, {"PVSC09", 370.05, 3.422e-05},
    {"PVSC10", 233.15, 1.013e-05}, {"PVSC10", 287.15, 1.223e-05}, {"PVSC10", 342.35, 1.633e-05},
    {"PVSC10", 355.85, 1.815e-05}, {"PVSC10", 369.35, 2.952e-05},
    {"PVSC11", 199.85, 0.001795}, {"PVSC11", 255.75, 0.0005931}, {"PVSC11", 312.95, 0.0002877},
    {"PVSC11", 365.75, 0.000181}, {"PVSC11", 419.75, 3.578e-05},
    {"PVSC12", 277.15, 1.009e-05}, {"PVSC12", 310.15, 1.237e-05}, {"PVSC12", 343.15, 1.289e-05},
    {"PVSC12", 381.4, 1.644e-05}, {"PVSC12", 419.65, 2.983e-05},
    {"PVSC13", 199.15, 0.0005701}, {"PVSC13", 255.05, 0.0002762}, {"PVSC13", 312.25, 0.0001503},
    {"PVSC13", 333.75, 0.0001218}, {"PVSC13", 355.75, 3.331e-05},
    {"PVSC14", 221.15, 9.578e-06}, {"PVSC14", 266.25, 1.145e-05}, {"PVSC14", 312.45, 1.478e-05},
    {"PVSC14", 333.95, 1.565e-05}, {"PVSC14", 355.45, 3.037e-05},
    {"PVSC15", 195.45, 0.0006899}, {"PVSC15", 236.85, 0.0002994}, {"PVSC15", 278.25, 0.0001736},
    {"PVSC15", 321.25, 0.000113}, {"PVSC15", 364.25, 7.6e-05},
    {"PVSC16", 195.45, 6.573e-06}, {"PVSC16", 262.95, 9.018e-06}, {"PVSC16", 331.95, 1.189e-05},
    {"PVSC16", 347.7, 1.265e-05}, {"PVSC16", 363.45, 1.351e-05},
    {"PETH01", 610.0, 746.8}, {"PETH01", 20810.0, 255029.4}, {"PETH01", 20090810.0, 1833800.4},
    {"PETH02", 610.0, 2503786.0}, {"PETH02", 20810.0, 2609773.0}, {"PETH02", 20090810.0, 2402141.5},
    {"PETH02", 810.0, 2509567.0}, {"PETH02", 1010.0, 2514624.0}, {"PETH02", 20410.0, 2609013.0},
    {"PETH02", 20610.0, 2609394.5},
    {"PETH03", 610.0, -24833.2}, {"PETH03", 9710.0, 9176.0}, {"PETH03", 4183710.0, 239503.7},
    {"PETH04", 610.0, 188636.6}, {"PETH04", 150610.0, 240668.0}, {"PETH04", 4209610.0, 279611.6},
    {"PETH05", 610.0, -57576.7}, {"PETH05", 46588.0, -5833.2}, {"PETH05", 4091308.0, 168810.0},
    {"PETH06", 610.0, 139086.0}, {"PETH06", 150610.0, 178705.9}, {"PETH06", 4045610.0, 193913.5},
    {"PETH07", 610.0, -36233.7}, {"PETH07", 20000.0, 12983.2}, {"PETH07", 5200000.0, 224353.2},
    {"PETH08", 610.0, 248732.8}, {"PETH08", 100000.0, 290824.0}, {"PETH08", 5200000.0, 334554.5},
    {"PETH09", 610.0, -68476.4}, {"PETH09", 147610.0, 16343.9}, {"PETH09", 4899610.0, 226854.4},
    {"PETH10", 610.0, 200671.9}, {"PETH10", 150610.0, 245132.4}, {"PETH10", 4900610.0, 259511.2},
    {"PETH11", 610.0, -34665.5}, {"PETH11", 37240.0, 17621.4}, {"PETH11", 3190645.0, 206225.0},
    {"PETH12", 610.0, 124599.4}, {"PETH12", 150610.0, 182671.3}, {"PETH12", 3188610.0, 233736.1},
    {"PETH13", 610.0, -59987.5}, {"PETH13", 9710.0, -38451.8}, {"PETH13", 3983710.0, 159439.5},
    {"PETH14", 610.0, 132011.5}, {"PETH14", 150610.0, 172103.9}, {"PETH14", 4070610.0, 180154.0},
    {"PETH15", 10000.0, -435268.9}, {"PETH15", 490000.0, -101176.1},
    {"PETH15", 11000000.0, 449505.9},
    {"PETH16", 10000.0, 1036835.5}, {"PETH16", 598000.0, 1152691.5},
    {"PETH16", 11000000.0, 655644.7}, {"PETH16", 3328000.0, 1166813.25},
    {"PETH16", 3300000.0, 1167081.25},
    {"PRHO02", 610.0, 0.0048}, {"PRHO02", 39616.0, 0.2482}, {"PRHO02", 10999616.0, 63.4171},
    {"PRHO04", 610.0, 0.0495}, {"PRHO04", 39616.0, 2.4467}, {"PRHO04", 4199616.0, 365.1137},
    {"PRHO06", 610.0, 0.0533}, {"PRHO06", 39616.0, 2.6385}, {"PRHO06", 3999616.0, 416.7801},
    {"PRHO08", 610.0, 0.0384}, {"PRHO08", 40000.0, 1.9261}, {"PRHO08", 5200000.0, 230.1676},
    {"PRHO10", 610.0, 0.0395}, {"PRHO10", 39616.0, 1.9589}, {"PRHO10", 4799616.0, 356.9586},
    {"PRHO12", 610.0, 0.0659}, {"PRHO12", 39616.0, 3.2604}, {"PRHO12", 3199616.0, 433.1685},
    {"PRHO14", 610.0, 0.0527}, {"PRHO14", 39616.0, 2.5902}, {"PRHO14", 3999616.0, 414.0651},
    {"PRHO01", 273.16, 1000.06}, {"PRHO01", 497.33, 834.76}, {"PRHO01", 623.45, 573.13},
    {"PRHO03", 199.95, 1692.15}, {"PRHO03", 401.4, 1182.3}, {"PRHO03", 469.952, 690.39},
    {"PRHO05", 177.6, 1699.059}, {"PRHO05", 347.845, 1207.598}, {"PRHO05", 384.973, 722.928},
    {"PRHO07", 188.15, 1603.68}, {"PRHO07", 319.29, 1313.16}, {"PRHO07", 451.21, 930.74},
    {"PRHO09", 199.85, 1502.03}, {"PRHO09", 348.123, 935.63}, {"PRHO09", 369.09, 582.52},
    {"PRHO11", 199.85, 1771.35}, {"PRHO11", 373.65, 1273.81}, {"PRHO11", 418.47, 765.49},
    {"PRHO11", 202.05, 1766.82},
    {"PRHO13", 199.15, 1569.55}, {"PRHO13", 328.52, 1045.29}, {"PRHO13", 355.064, 643.82},
    {"PRHO15", 195.45, 732.71}, {"PRHO15", 278.105, 632.35}, {"PRHO15", 362.905, 482.83},
    {"PRHO16", 195.45, 0.063}, {"PRHO16", 300.0, 8.248}, {"PRHO16", 405.15, 197.996},
    {"PTS02", 610.0, 0.188}, {"PTS02", 20810.0, 60.932}, {"PTS02", 20090810.0, 366.168},
    {"PTS04", 610.0, -69.3256}, {"PTS04", 59416.0, 9.5097}, {"PTS04", 4499416.0, 199.4085},
    {"PTS06", 610.0, -106.6473}, {"PTS06", 59416.0, -41.6156}, {"PTS06", 4199416.0, 113.2004},
    {"PTS08", 610.0, -76.6071}, {"PTS08", 59416.0, -4.1393}, {"PTS08", 5199416.0, 179.3439},
    {"PTS10", 610.0, -112.2852}, {"PTS10", 59416.0, -51.5465}, {"PTS10", 4999416.0, 96.2427},
    {"PTS12", 610.0, -82.7465}, {"PTS12", 59416.0, -9.4259}, {"PTS12", 3299416.0, 146.315},
    {"PTS14", 610.0, -117.5434}, {"PTS14", 59416.0, -56.2588}, {"PTS14", 4199416.0, 83.6214},
    {"PTS16", 10000.0, -71.2144}, {"PTS16", 60000.0, -43.2795}, {"PTS16", 11100000.0, 131.0773},
    {"PKT15", -77.0, 4.5e-5}, {"PKT15", -23.0, 9.8e-5}, {"PKT15", 31.0, 1.83e-4},
    {"PKT15", 61.0, 3.25e-4}, {"PKT15", 91.0, 7.67e-4},
};

// A member's table and its routine at an absolute abscissa, in table units.
struct Member {
  std::string_view name;
  std::span<const kf::TableRange> ranges;
  double (*at)(double x);
};

#define KALVIR_T(n) Member{#n, kf::k##n, [](double x) { return n(0, x, 0.0); }}
#define KALVIR_P(n) Member{#n, kf::k##n, [](double x) { return n(0, 0.0, x); }}
#define KALVIR_S(n) Member{#n, kf::k##n, [](double x) { return n(0, 0.0, x, 0.0) - 273.15; }}

const std::vector<Member> kMembers = {
    KALVIR_T(PCND01), KALVIR_T(PCND02), KALVIR_T(PCND03), KALVIR_T(PCND04), KALVIR_T(PCND05),
    KALVIR_T(PCND06), KALVIR_T(PCND07), KALVIR_T(PCND08), KALVIR_T(PCND09), KALVIR_T(PCND10),
    KALVIR_T(PCND11), KALVIR_T(PCND12), KALVIR_T(PCND13), KALVIR_T(PCND14), KALVIR_T(PCND15),
    KALVIR_T(PCND16), KALVIR_T(PCP01),  KALVIR_T(PCP02),  KALVIR_T(PCP03),  KALVIR_T(PCP05),
    KALVIR_T(PCP07),  KALVIR_T(PCP08),  KALVIR_T(PCP09),  KALVIR_T(PCP11),  KALVIR_T(PCP13),
    KALVIR_T(PCP15),  KALVIR_T(PCP16),  KALVIR_T(PVSC01), KALVIR_T(PVSC02), KALVIR_T(PVSC03),
    KALVIR_T(PVSC04), KALVIR_T(PVSC05), KALVIR_T(PVSC06), KALVIR_T(PVSC07), KALVIR_T(PVSC08),
    KALVIR_T(PVSC09), KALVIR_T(PVSC10), KALVIR_T(PVSC11), KALVIR_T(PVSC12), KALVIR_T(PVSC13),
    KALVIR_T(PVSC14), KALVIR_T(PVSC15), KALVIR_T(PVSC16), KALVIR_P(PETH01), KALVIR_P(PETH02),
    KALVIR_P(PETH03), KALVIR_P(PETH04), KALVIR_P(PETH05), KALVIR_P(PETH06), KALVIR_P(PETH07),
    KALVIR_P(PETH08), KALVIR_P(PETH09), KALVIR_P(PETH10), KALVIR_P(PETH11), KALVIR_P(PETH12),
    KALVIR_P(PETH13), KALVIR_P(PETH14), KALVIR_P(PETH15), KALVIR_P(PETH16), KALVIR_P(PRHO02),
    KALVIR_P(PRHO04), KALVIR_P(PRHO06), KALVIR_P(PRHO08), KALVIR_P(PRHO10), KALVIR_P(PRHO12),
    KALVIR_P(PRHO14), KALVIR_T(PRHO01), KALVIR_T(PRHO03), KALVIR_T(PRHO05), KALVIR_T(PRHO07),
    KALVIR_T(PRHO09), KALVIR_T(PRHO11), KALVIR_T(PRHO13), KALVIR_T(PRHO15), KALVIR_T(PRHO16),
    KALVIR_S(PTS02),  KALVIR_S(PTS04),  KALVIR_S(PTS06),  KALVIR_S(PTS08),  KALVIR_S(PTS10),
    KALVIR_S(PTS12),  KALVIR_S(PTS14),  KALVIR_S(PTS16),
    Member{"PKT15", kf::kPKT15, [](double x) { return PKT15(0, x, 273.15) * 1e5; }},
};

#undef KALVIR_T
#undef KALVIR_P
#undef KALVIR_S

const Member& member(std::string_view name) {
  const auto it = std::find_if(kMembers.begin(), kMembers.end(),
                               [&](const Member& m) { return m.name == name; });
  if (it == kMembers.end()) throw std::out_of_range(std::string(name));
  return *it;
}

bool saturation_line(std::string_view name) {
  return name.starts_with("PETH") || name.starts_with("PRHO") || name.starts_with("PTS");
}

// Enthalpies and saturation temperatures were corrected by shifts, the other
// quantities by factors.
bool shifted(std::string_view name) { return name.starts_with("PETH") || name.starts_with("PTS"); }

// Listed rows of these members give the specific heat per degree Fahrenheit;
// the tables keep the reference data there.
bool unforced(std::string_view name) {
  return name == "PCP07" || name == "PCP08" || name == "PCP13";
}

double stored(std::string_view name, double listed) {
  return saturation_line(name) ? static_cast<double>(static_cast<float>(listed)) : listed;
}

// Position of abscissa x on a range's grid, or -1.
long grid_index(const kf::TableRange& r, double x) {
  const double t = (x - r.first) / r.step;
  const double i = std::round(t);
  if (i < 0.0 || i >= static_cast<double>(r.y.size()) || std::abs(t - i) > 0.01) return -1;
  return static_cast<long>(i);
}

const std::string kReferenceDir = std::string(KALVIR_SHARED_DIR) + "/fluid-tables";

// The reference data set lies beside the checkout, not in it.
#define KALVIR_NEED_REFERENCE_DATA()                                              \
  if (!std::filesystem::is_directory(kReferenceDir)) {                            \
    GTEST_SKIP() << "reference data not found at " << kReferenceDir;              \
  }

std::vector<double> reference_values(std::string_view name) {
  std::ifstream in(kReferenceDir + "/" + std::string(name) + ".txt");
  std::vector<double> values;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] != '#') values.push_back(std::stod(line));
  }
  return values;
}

TEST(TableData, GridsAndCountsAreThoseListed) {
  KALVIR_NEED_REFERENCE_DATA();
  ASSERT_EQ(kGrids.size(), kMembers.size());
  for (const MemberGrid& g : kGrids) {
    const Member& m = member(g.name);
    ASSERT_EQ(m.ranges.size(), g.ranges.size()) << g.name;
    std::size_t total = 0;
    for (std::size_t k = 0; k < g.ranges.size(); ++k) {
      EXPECT_EQ(m.ranges[k].first, g.ranges[k].first) << g.name << " range " << k + 1;
      EXPECT_EQ(m.ranges[k].last, g.ranges[k].last) << g.name << " range " << k + 1;
      EXPECT_EQ(m.ranges[k].y.size(), g.ranges[k].points) << g.name << " range " << k + 1;
      // Consecutive ranges meet at their joint point, except where PETH16's
      // third range starts below the end of its second.
      if (k > 0 && g.name != "PETH16") {
        EXPECT_EQ(g.ranges[k].first, g.ranges[k - 1].last) << g.name;
      }
      total += m.ranges[k].y.size();
    }
    EXPECT_EQ(total, reference_values(g.name).size()) << g.name;
  }
}

TEST(TableData, ListedValuesHoldAtTheirGridPoints) {
  kalvir::test::Unit6Capture capture;  // the upper bounds warn
  for (const Row& row : kRows) {
    const Member& m = member(row.member);
    if (unforced(row.member)) continue;
    const double want = stored(row.member, row.value);
    int found = 0;
    for (std::size_t k = 0; k < m.ranges.size(); ++k) {
      const kf::TableRange& r = m.ranges[k];
      const long i = grid_index(r, row.x);
      if (i < 0) continue;
      ++found;
      EXPECT_EQ(r.y[static_cast<std::size_t>(i)], want) << row.member << " at " << row.x;
      // The routine gives it where it reads this range (or answers with the
      // upper end): not at PETH16's 3300000 Pa, which it reads from range 2.
      const double x = r.first + static_cast<double>(i) * r.step;
      const bool last = k + 1 == m.ranges.size();
      const bool reads_here = (k == 0 || x >= m.ranges[k - 1].last) && (x < r.last || last);
      if (reads_here) {
        EXPECT_NEAR(m.at(x), want, 1e-11 * std::abs(want) + 1e-11) << row.member << " at " << x;
      }
    }
    EXPECT_GE(found, 1) << row.member << " at " << row.x;
  }
  capture.finish();
}

TEST(TableData, JointPointsHoldOneValue) {
  for (const Member& m : kMembers) {
    for (std::size_t k = 1; k < m.ranges.size(); ++k) {
      if (m.ranges[k].first != m.ranges[k - 1].last) continue;
      EXPECT_EQ(m.ranges[k].y.front(), m.ranges[k - 1].y.back()) << m.name << " range " << k + 1;
    }
  }
}

TEST(TableData, SaturationLineValuesAreSinglePrecision) {
  for (const Member& m : kMembers) {
    if (!saturation_line(m.name)) continue;
    for (const kf::TableRange& r : m.ranges) {
      for (double v : r.y) {
        ASSERT_EQ(static_cast<double>(static_cast<float>(v)), v) << m.name;
      }
    }
  }
}

struct Anchor {
  const char* what;
  double (*at)();
  double value;
  double tolerance;  // half a unit of the last stated digit
};

TEST(TableData, StatedInterpolatedResultsHold) {
  const Anchor anchors[] = {
      {"PETH02 at 710 Pa", [] { return PETH02(0, 0.0, 710.0); }, 2506767.0, 5e-4},
      {"PETH02 at 20710 Pa", [] { return PETH02(0, 0.0, 20710.0); }, 2609584.125, 5e-4},
      {"PETH02 at 20090809 Pa", [] { return PETH02(0, 0.0, 20090809.0); }, 2402141.565, 5e-4},
      {"PETH16 at 3300000 Pa", [] { return PETH16(0, 0.0, 3300000.0); }, 1167081.29, 5e-3},
      {"PETH16 at 3328000 Pa", [] { return PETH16(0, 0.0, 3328000.0); }, 1166813.255, 5e-4},
      {"PTS02 at 101325 Pa", [] { return PTS02(0, 0.0, 101325.0, 0.0); }, 373.1500684, 5e-8},
      {"PTS02 at 101325 Pa in Celsius", [] { return PTS02(0, 0.0, 101325.0, 273.15); },
       100.0000684, 5e-8},
      {"PRHO16 at 405.1 K", [] { return PRHO16(0, 405.1, 0.0); }, 195.667203, 5e-7},
      {"PRHO11 at 200.95 K", [] { return PRHO11(0, 200.95, 0.0); }, 1769.085, 5e-4},
      {"PCND16 at 196.35 K", [] { return PCND16(0, 196.35, 0.0); }, 0.015275, 5e-7},
  };
  for (const Anchor& a : anchors) {
    EXPECT_NEAR(a.at(), a.value, a.tolerance) << a.what;
  }
}

// Direction of each quantity along its abscissa where physics fixes it:
// saturation temperature, vapour density and liquid enthalpy rise, liquid
// density and viscosity fall, liquid ammonia's compressibility rises.
int direction(std::string_view name) {
  if (name.starts_with("PTS") || name == "PKT15") return 1;
  const int nn = name.back() - '0' + 10 * (name[name.size() - 2] - '0');
  if (name.starts_with("PRHO")) return nn % 2 == 1 ? -1 : 1;
  if (name.starts_with("PETH") && nn % 2 == 1) return 1;
  if (name.starts_with("PVSC") && nn % 2 == 1) return -1;
  return 0;
}

TEST(TableData, QuantitiesMoveTheWayPhysicsDemands) {
  int checked = 0;
  for (const Member& m : kMembers) {
    const int sign = direction(m.name);
    if (sign == 0) continue;
    ++checked;
    for (const kf::TableRange& r : m.ranges) {
      for (std::size_t i = 0; i + 1 < r.y.size(); ++i) {
        // Liquid water is densest at 277.13 K.
        if (m.name == "PRHO01" && r.first + static_cast<double>(i) * r.step < 277.15) continue;
        EXPECT_GE(sign * (r.y[i + 1] - r.y[i]), 0.0)
            << m.name << " at " << r.first + static_cast<double>(i) * r.step;
      }
    }
  }
  EXPECT_EQ(checked, 8 + 16 + 8 + 8 + 1);
}

// The tables are the reference data corrected towards the listed values by a
// correction that runs from one listed value to the next: between two listed
// grid points it stays between their two corrections. Exempt are the stencils
// of the stated interpolated results and the last range of the members whose
// reference data stop short of their upper bound (repeating the value there);
// the ranges of the stated interpolated results are held to 0.1 %.
TEST(TableData, TablesFollowTheReferenceDataBetweenListedValues) {
  KALVIR_NEED_REFERENCE_DATA();
  struct Stencil {
    std::string_view member;
    double x;
  };
  const Stencil adjusted[] = {{"PETH02", 20090809.0}, {"PETH16", 3300000.0},
                              {"PETH16", 3328000.0},  {"PTS02", 101325.0},
                              {"PRHO16", 405.1}};
  for (const Member& m : kMembers) {
    const std::vector<double> ref = reference_values(m.name);
    ASSERT_FALSE(ref.empty()) << m.name;
    // Flat positions over all ranges.
    struct Point {
      std::size_t k, i;
      double x, table, reference;
    };
    std::vector<Point> points;
    for (std::size_t k = 0, at = 0; k < m.ranges.size(); ++k) {
      const kf::TableRange& r = m.ranges[k];
      for (std::size_t i = 0; i < r.y.size(); ++i, ++at) {
        points.push_back({k, i, r.first + static_cast<double>(i) * r.step, r.y[i], ref.at(at)});
      }
    }
    if (unforced(m.name)) {
      for (const Point& p : points) {
        EXPECT_NEAR(p.table, p.reference, 5e-9 * std::abs(p.reference)) << m.name << " " << p.x;
      }
      continue;
    }
    const bool additive = shifted(m.name);
    auto correction = [&](const Point& p) {
      return additive ? p.table - p.reference : p.table / p.reference;
    };
    std::vector<std::size_t> listed;
    for (std::size_t j = 0; j < points.size(); ++j) {
      for (const Row& row : kRows) {
        if (row.member == m.name && grid_index(m.ranges[points[j].k], row.x) ==
                                        static_cast<long>(points[j].i)) {
          listed.push_back(j);
          break;
        }
      }
    }
    ASSERT_GE(listed.size(), 3u) << m.name;
    const std::size_t n = ref.size();
    const bool repeats_at_end = ref[n - 1] == ref[n - 2] && ref[n - 2] == ref[n - 3];
    for (std::size_t j = listed.front(); j <= listed.back(); ++j) {
      const Point& p = points[j];
      if (repeats_at_end && p.k + 1 == m.ranges.size()) continue;
      const kf::TableRange& r = m.ranges[p.k];
      bool near_adjusted = false;
      bool in_adjusted_range = false;
      for (const Stencil& s : adjusted) {
        const bool here = s.member == m.name && s.x >= r.first && s.x < r.last;
        // A joint point belongs to the range before it as well.
        const kf::TableRange& before = m.ranges[p.k > 0 && p.i == 0 ? p.k - 1 : p.k];
        in_adjusted_range |= here || (s.member == m.name && s.x >= before.first && s.x < before.last);
        near_adjusted |= here && std::abs(s.x - p.x) < 2.5 * r.step;
      }
      if (near_adjusted) continue;
      const auto after = std::lower_bound(listed.begin(), listed.end(), j);
      const std::size_t right = *after;
      const std::size_t left = *after == j ? j : *(after - 1);
      const double c = correction(p);
      const double cl = correction(points[left]);
      const double cr = correction(points[right]);
      double slack = 1e-12;
      if (saturation_line(m.name)) {
        slack = additive ? std::ldexp(std::max({std::abs(p.table), std::abs(points[left].table),
                                                std::abs(points[right].table)}),
                                      -22)
                         : std::ldexp(1.0, -22);
      }
      // Meeting an interpolated result moves the correction of its range a
      // little beyond the listed values' (at most 0.1 %).
      if (in_adjusted_range) slack += 1e-3 * (additive ? std::abs(p.table) : 1.0);
      EXPECT_GE(c, std::min(cl, cr) - slack) << m.name << " at " << p.x;
      EXPECT_LE(c, std::max(cl, cr) + slack) << m.name << " at " << p.x;
    }
  }
}

}  // namespace table_data_test

#undef KALVIR_NEED_REFERENCE_DATA
