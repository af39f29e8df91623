#include "bench/peer/side_by_side.h"

#include <hdf5.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace kalvir::bench {

ProcessRun run_process(const std::filesystem::path& dir, const std::vector<std::string>& argv) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    const int out = ::open("run.out", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open("run.err", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0) ::_exit(127);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ProcessRun run;
  if (pid < 0) return run;
  int status = 0;
  struct rusage usage {};
  if (::wait4(pid, &status, 0, &usage) != pid) return run;
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  run.peak_kb = usage.ru_maxrss;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) run.seconds = took.count();
  return run;
}

ProcessRun median_run(const std::filesystem::path& dir, const std::vector<std::string>& argv, int runs) {
  std::vector<double> times;
  ProcessRun out;
  for (int r = 0; r < runs; ++r) {
    const ProcessRun one = run_process(dir, argv);
    if (one.seconds < 0) {
      std::fprintf(stderr, "failed: %s (see %s)\n", argv[0].c_str(), (dir / "run.err").c_str());
      std::exit(1);
    }
    times.push_back(one.seconds);
    out.peak_kb = std::max(out.peak_kb, one.peak_kb);
  }
  std::sort(times.begin(), times.end());
  out.seconds = times[times.size() / 2];
  return out;
}

FinalTemperatures program_final(const std::filesystem::path& tmd) {
  FinalTemperatures out;
  const hid_t file = H5Fopen(tmd.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
  if (file < 0) return out;
  auto dims_of = [](hid_t ds) {
    const hid_t space = H5Dget_space(ds);
    std::vector<hsize_t> d(static_cast<std::size_t>(H5Sget_simple_extent_ndims(space)));
    H5Sget_simple_extent_dims(space, d.data(), nullptr);
    H5Sclose(space);
    return d;
  };
  const hid_t names_ds = H5Dopen2(file, "AnalysisSet1/thermalNodesRealAttributes", H5P_DEFAULT);
  const hid_t nodes_ds = H5Dopen2(file, "AnalysisSet1/thermalNodes", H5P_DEFAULT);
  const hid_t data_ds = H5Dopen2(file, "AnalysisSet1/DataGroup1/thermalNodesRealData", H5P_DEFAULT);
  if (names_ds >= 0 && nodes_ds >= 0 && data_ds >= 0) {
    const std::vector<hsize_t> nd = dims_of(names_ds);
    const hid_t names_type = H5Dget_type(names_ds);
    const std::size_t width = H5Tget_size(names_type);
    std::string names(nd[0] * width, ' ');
    H5Dread(names_ds, names_type, H5S_ALL, H5S_ALL, H5P_DEFAULT, names.data());
    H5Tclose(names_type);
    hsize_t column = nd[0];
    for (hsize_t c = 0; c < nd[0]; ++c) {
      std::string name = names.substr(c * width, width);
      name.erase(name.find_last_not_of(" \0") + 1);
      if (name == "Temperature") column = c;
    }
    const std::vector<hsize_t> dd = dims_of(data_ds);
    const std::vector<hsize_t> rd = dims_of(nodes_ds);
    std::vector<std::int32_t> nodes(rd[0] * 2);
    H5Dread(nodes_ds, H5T_NATIVE_INT32, H5S_ALL, H5S_ALL, H5P_DEFAULT, nodes.data());
    if (column < nd[0] && dd.size() == 3 && dd[0] > 0) {
      // Only the last slab.
      const hid_t space = H5Dget_space(data_ds);
      const hsize_t start[3] = {dd[0] - 1, 0, 0};
      const hsize_t count[3] = {1, dd[1], dd[2]};
      H5Sselect_hyperslab(space, H5S_SELECT_SET, start, nullptr, count, nullptr);
      const hid_t mem = H5Screate_simple(3, count, nullptr);
      std::vector<double> last(dd[1] * dd[2]);
      H5Dread(data_ds, H5T_NATIVE_DOUBLE, mem, space, H5P_DEFAULT, last.data());
      H5Sclose(mem);
      H5Sclose(space);
      for (hsize_t r = 0; r < dd[1]; ++r) out[nodes[2 * r]] = last[r * dd[2] + column];
    }
  }
  for (const hid_t ds : {names_ds, nodes_ds, data_ds})
    if (ds >= 0) H5Dclose(ds);
  H5Fclose(file);
  return out;
}

FinalTemperatures peer_final(const std::filesystem::path& dir) {
  FinalTemperatures out;
  std::ifstream in(dir / "peer_final.txt");
  std::int32_t number = 0;
  double t = 0.0;
  while (in >> number >> t) out[number] = t;
  return out;
}

double deviation(const FinalTemperatures& a, const FinalTemperatures& b) {
  double worst = 0.0;
  for (const auto& [number, t] : b) {
    const auto it = a.find(number);
    if (it == a.end()) return HUGE_VAL;
    worst = std::max(worst, std::abs(t - it->second));
  }
  return b.empty() ? HUGE_VAL : worst;
}

PeerChoice choose_tolerance(const std::filesystem::path& dir,
                            const std::function<std::vector<std::string>(double)>& peer_argv,
                            const FinalTemperatures& program, double tolt) {
  auto peer_run = [&](double tol) {
    if (run_process(dir, peer_argv(tol)).seconds < 0) return FinalTemperatures{};
    return peer_final(dir);
  };
  const std::vector<double> ladder{1.0e-2, 3.0e-3, 1.0e-3, 3.0e-4, 1.0e-4, 3.0e-5, 1.0e-5, 3.0e-6, 1.0e-6};
  std::vector<FinalTemperatures> finals;
  for (const double tol : ladder) {
    finals.push_back(peer_run(tol));
    const double d = deviation(finals.back(), program);
    std::printf("  peer tolerance %-7g largest final difference from the program %.3g K\n", tol, d);
    if (d <= tolt) return {tol, d};
  }
  // The program's own answer is further than TOLT from the converged one:
  // take the loosest peer within TOLT of a tight reference run instead, a
  // peer at least as accurate as the program.
  const FinalTemperatures reference = peer_run(1.0e-8);
  std::printf("  no peer within TOLT of the program; the program is %.3g K from the peer at 1e-8\n",
              deviation(reference, program));
  for (std::size_t k = 0; k < ladder.size(); ++k) {
    const double d = deviation(finals[k], reference);
    if (d <= tolt) {
      std::printf("  peer tolerance %g is within %.3g K of the reference\n", ladder[k], d);
      return {ladder[k], d};
    }
  }
  return {};
}

}  // namespace kalvir::bench
