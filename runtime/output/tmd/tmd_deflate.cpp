#include "runtime/output/tmd/tmd_deflate.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kalvir::tmd {
namespace {

// Compression memory, reused from one chunk to the next: a fresh deflate
// stream allocates about 260 KB, which malloc takes from new pages (zeroed
// by the kernel, faulted in anew) at every call of compress2.
// The stream itself is still initialised anew for every chunk, so that its
// output is exactly that of compress2.
class Arena {
 public:
  static constexpr std::size_t kBytes = 512 * 1024;

  void rewind() { used_ = 0; }

  static voidpf alloc(voidpf opaque, uInt items, uInt size) {
    auto* self = static_cast<Arena*>(opaque);
    const std::size_t bytes = (static_cast<std::size_t>(items) * size + 63) & ~std::size_t{63};
    if (self->used_ + bytes <= kBytes) {
      void* p = self->memory_.get() + self->used_;
      self->used_ += bytes;
      return p;
    }
    return std::calloc(items, size);
  }
  static void release(voidpf opaque, voidpf p) {
    auto* self = static_cast<Arena*>(opaque);
    const auto* c = static_cast<unsigned char*>(p);
    if (c >= self->memory_.get() && c < self->memory_.get() + kBytes) return;
    std::free(p);
  }

 private:
  std::unique_ptr<unsigned char[]> memory_{new unsigned char[kBytes]};
  std::size_t used_ = 0;
};

// Made at the first chunk: runs without TMD output never map it.
Arena& arena() {
  static Arena memory;
  return memory;
}

// The zlib stream's two header bytes for a level, as deflate writes them
// (deflate method, 32 KB window, the level's speed flag, no dictionary).
std::array<unsigned char, 2> zlib_header(int level) {
  const unsigned speed = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  unsigned header = ((Z_DEFLATED + ((15 - 8) << 4)) << 8) | (speed << 6);
  header += 31 - header % 31;
  return {static_cast<unsigned char>(header >> 8), static_cast<unsigned char>(header & 0xff)};
}

}  // namespace

std::uint32_t adler32_of(std::span<const unsigned char> data) {
  // Sixteen byte lanes summed side by side (vector additions only): over a
  // block of g groups of sixteen bytes, lane j's bytes x(k, j) enter a as
  // their sum S(j) and b as 16 * sum over k of (g - k) x(k, j) less j S(j),
  // the first accumulated as a running sum of running sums.
  constexpr std::uint32_t kBase = 65521;
  constexpr std::size_t kLanes = 16;
  constexpr std::size_t kGroups = 256;  // keeps every lane sum within 32 bits
  std::uint64_t a = 1;
  std::uint64_t b = 0;
  const unsigned char* p = data.data();
  std::size_t left = data.size();
  while (left >= kLanes) {
    const std::size_t groups = std::min(kGroups, left / kLanes);
    std::uint32_t sum[kLanes] = {};
    std::uint32_t sums[kLanes] = {};
    for (std::size_t k = 0; k < groups; ++k, p += kLanes) {
      for (std::size_t j = 0; j < kLanes; ++j) {
        sum[j] += p[j];
        sums[j] += sum[j];
      }
    }
    const std::uint64_t n = groups * kLanes;
    std::uint64_t s = 0;
    std::uint64_t t = 0;
    for (std::size_t j = 0; j < kLanes; ++j) {
      s += sum[j];
      t += kLanes * static_cast<std::uint64_t>(sums[j]) - j * static_cast<std::uint64_t>(sum[j]);
    }
    // Byte j of group k sits n - 16 k - j places before the block's end, and
    // sums counts it g - k times.
    b = (b + n * a + t) % kBase;
    a = (a + s) % kBase;
    left -= n;
  }
  for (; left > 0; --left, ++p) {
    a += *p;
    b += a;
  }
  return static_cast<std::uint32_t>(((b % kBase) << 16) | (a % kBase));
}

std::size_t filter_bound(std::size_t nbytes) {
  return static_cast<std::size_t>(std::ceil(static_cast<double>(nbytes) * 1.001)) + 12;
}

bool inflates_to(std::span<const unsigned char> packed, std::span<const unsigned char> raw) {
  Arena& a = arena();
  a.rewind();
  z_stream z{};
  z.zalloc = &Arena::alloc;
  z.zfree = &Arena::release;
  z.opaque = &a;
  // The body alone: equal rows imply an equal checksum, and the header
  // depends on the level alone, which the caller compares.
  constexpr std::size_t kHeader = 2;
  constexpr std::size_t kTrailer = 4;
  if (packed.size() < kHeader + kTrailer) return false;
  packed = packed.subspan(kHeader, packed.size() - kHeader - kTrailer);
  if (inflateInit2(&z, -15) != Z_OK) return false;
  // Piece by piece, so that a chunk that has changed stops at its first
  // differing piece.
  constexpr std::size_t kPiece = 4096;
  unsigned char piece[kPiece];
  z.next_in = const_cast<Bytef*>(packed.data());
  z.avail_in = static_cast<uInt>(packed.size());
  std::size_t done = 0;
  int status = Z_OK;
  bool same = true;
  while (same && status == Z_OK) {
    z.next_out = piece;
    z.avail_out = kPiece;
    status = inflate(&z, Z_NO_FLUSH);
    const std::size_t got = kPiece - z.avail_out;
    same = (status == Z_OK || status == Z_STREAM_END) && done + got <= raw.size() &&
           std::memcmp(piece, raw.data() + done, got) == 0;
    done += got;
    if (status == Z_OK && got == 0 && z.avail_in == 0) break;  // truncated: not the same
  }
  inflateEnd(&z);
  return same && status == Z_STREAM_END && done == raw.size();
}

std::size_t deflate_chunk(std::span<const unsigned char> raw, int level, unsigned char* out) {
  // The stream is written as raw deflate between the zlib header and the
  // Adler-32 trailer put here: the deflated bytes are those of the wrapped
  // stream, and the checksum is summed faster than deflate's own.
  constexpr std::size_t kHeader = 2;
  constexpr std::size_t kTrailer = 4;
  const std::size_t bound = filter_bound(raw.size());
  Arena& a = arena();
  a.rewind();
  z_stream z{};
  z.zalloc = &Arena::alloc;
  z.zfree = &Arena::release;
  z.opaque = &a;
  constexpr int kWindowBits = 15;
  constexpr int kMemLevel = 8;
  if (deflateInit2(&z, level, Z_DEFLATED, -kWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK) return 0;
  z.next_in = const_cast<Bytef*>(raw.data());
  z.avail_in = static_cast<uInt>(raw.size());
  z.next_out = out + kHeader;
  z.avail_out = static_cast<uInt>(bound - kHeader - kTrailer);
  const int status = deflate(&z, Z_FINISH);
  const std::size_t produced = z.total_out;
  deflateEnd(&z);
  if (status != Z_STREAM_END) return 0;
  const auto header = zlib_header(level);
  out[0] = header[0];
  out[1] = header[1];
  const std::uint32_t check = adler32_of(raw);
  unsigned char* trailer = out + kHeader + produced;
  for (int k = 0; k < 4; ++k) trailer[k] = static_cast<unsigned char>(check >> (24 - 8 * k));
  return kHeader + produced + kTrailer;
}

}  // namespace kalvir::tmd
