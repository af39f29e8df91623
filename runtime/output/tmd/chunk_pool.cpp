#include "runtime/output/tmd/chunk_pool.h"

#include <emmintrin.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace kalvir::tmd {
namespace {

constexpr unsigned kMaxWorkers = 4;

unsigned usable_processors() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(std::max(CPU_COUNT(&set), 1));
  return std::max(std::thread::hardware_concurrency(), 1u);
}

unsigned wanted_workers() { return std::min(kMaxWorkers, usable_processors() - 1); }

// Waits up to about kSpin for counter to leave the value seen, without
// sleeping: the slabs of one output come a few tens of microseconds apart,
// less than it takes to wake a sleeping thread on a busy machine.
constexpr auto kSpin = std::chrono::microseconds(50);

void spin_while(const std::atomic<std::uint64_t>& counter, std::uint64_t seen) {
  const auto until = std::chrono::steady_clock::now() + kSpin;
  for (unsigned k = 1;; ++k) {
    if (counter.load(std::memory_order_acquire) != seen) return;
    _mm_pause();
    if (k % 64 == 0 && std::chrono::steady_clock::now() >= until) return;
  }
}

// The state of one run of chunks is shared under one mutex: a slab has a few
// dozen chunks at most, each worth tens of microseconds of deflate, so a lock
// per chunk costs nothing beside them.
class Pool {
 public:
  explicit Pool(unsigned workers) {
    for (unsigned w = 0; w < workers; ++w) threads_.emplace_back([this] { work(); });
  }
  ~Pool() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (auto& t : threads_) t.join();
  }
  Pool(const Pool&) = delete;
  Pool& operator=(const Pool&) = delete;

  void run(std::size_t n, const std::function<void(std::size_t)>& prepare,
           const std::function<void(std::size_t)>& job, const std::function<void(std::size_t)>& ready) {
    std::unique_lock lock(mutex_);
    job_ = &job;
    prepared_ = 0;
    claimed_ = 0;
    failure_ = nullptr;
    done_.fill(kNone);
    std::size_t written = 0;
    try {
      while (written < n) {
        if (failure_) std::rethrow_exception(failure_);
        if (prepared_ < n && prepared_ < written + kChunkSlots) {
          const std::size_t k = prepared_;
          lock.unlock();
          prepare(k);
          lock.lock();
          ++prepared_;
          posted_.fetch_add(1, std::memory_order_release);
          wake_.notify_one();
        } else if (done_[written % kChunkSlots] == written) {
          lock.unlock();
          ready(written);
          lock.lock();
          ++written;
        } else if (claimed_ < prepared_) {
          // The caller compresses too, rather than wait for a worker.
          const std::size_t k = claimed_++;
          lock.unlock();
          job(k);
          lock.lock();
          done_[k % kChunkSlots] = k;
        } else {
          const std::uint64_t seen = finished_count_.load(std::memory_order_relaxed);
          lock.unlock();
          spin_while(finished_count_, seen);
          lock.lock();
          if (finished_count_.load(std::memory_order_relaxed) == seen) finished_.wait(lock);
        }
      }
    } catch (...) {
      // No chunk is begun after this, and the buffers of the chunks in
      // flight stay the writer's until their workers let them go.
      if (!lock.owns_lock()) lock.lock();
      prepared_ = claimed_;
      finished_.wait(lock, [&] { return busy_ == 0; });
      job_ = nullptr;
      throw;
    }
    job_ = nullptr;
  }

 private:
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  void work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (!stop_ && !(job_ != nullptr && claimed_ < prepared_)) {
        const std::uint64_t seen = posted_.load(std::memory_order_relaxed);
        lock.unlock();
        spin_while(posted_, seen);
        lock.lock();
      }
      wake_.wait(lock, [&] { return stop_ || (job_ != nullptr && claimed_ < prepared_); });
      if (stop_) return;
      const std::size_t k = claimed_++;
      const auto* job = job_;
      ++busy_;
      lock.unlock();
      std::exception_ptr failure;
      try {
        (*job)(k);
      } catch (...) {
        failure = std::current_exception();
      }
      lock.lock();
      if (failure && !failure_) failure_ = failure;
      done_[k % kChunkSlots] = k;
      --busy_;
      finished_count_.fetch_add(1, std::memory_order_release);
      finished_.notify_one();
    }
  }

  std::vector<std::thread> threads_;
  std::mutex mutex_;
  std::condition_variable wake_;      // workers: a chunk is ready, or the pool stops
  std::condition_variable finished_;  // caller: a chunk is compressed
  const std::function<void(std::size_t)>* job_ = nullptr;
  std::size_t prepared_ = 0;
  std::size_t claimed_ = 0;
  std::array<std::size_t, kChunkSlots> done_{};  // chunk last compressed in each slot
  unsigned busy_ = 0;
  // Bumped under the mutex as chunks are prepared and finished, read
  // without it while spinning.
  std::atomic<std::uint64_t> posted_{0};
  std::atomic<std::uint64_t> finished_count_{0};
  std::exception_ptr failure_;
  bool stop_ = false;
};

// The process's pool, started at first use and joined as the process ends.
// A child made by fork has none of its parent's threads: it starts its own
// and leaves the parent's pool alone (its threads cannot be joined there).
class PoolHolder {
 public:
  ~PoolHolder() {
    if (owner_ == getpid()) delete pool_;
  }
  Pool& get(unsigned workers) {
    if (pool_ == nullptr || owner_ != getpid()) {
      pool_ = new Pool(workers);
      owner_ = getpid();
    }
    return *pool_;
  }

 private:
  Pool* pool_ = nullptr;
  pid_t owner_ = 0;
};

}  // namespace

unsigned chunk_workers() {
  static const unsigned workers = wanted_workers();
  return workers;
}

void run_chunks(std::size_t n, const std::function<void(std::size_t)>& prepare,
                const std::function<void(std::size_t)>& job, const std::function<void(std::size_t)>& ready) {
  static PoolHolder holder;
  holder.get(chunk_workers()).run(n, prepare, job, ready);
}

}  // namespace kalvir::tmd
