#include "runtime/output/tmd/tmd_deflate.h"

#include <emmintrin.h>
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

// One per thread that compresses, made at its first chunk: runs without TMD
// output never map it.
Arena& arena() {
  thread_local Arena memory;
  return memory;
}

// A zlib stream whose memory comes from this thread's arena, emptied first.
z_stream stream_on_arena() {
  Arena& a = arena();
  a.rewind();
  z_stream z{};
  z.zalloc = &Arena::alloc;
  z.zfree = &Arena::release;
  z.opaque = &a;
  return z;
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
  // Sixteen bytes at a time in SSE2 registers. Over a block of g groups of
  // sixteen bytes, the byte at place j of group k enters a once and b
  // 16 (g - 1 - k) + (16 - j) times: the first part as the running sum of a
  // taken before each group, the second as a weighted sum within the group.
  constexpr std::uint32_t kBase = 65521;
  constexpr std::size_t kGroup = 16;
  constexpr std::size_t kGroups = 256;  // keeps every lane sum within 32 bits
  std::uint64_t a = 1;
  std::uint64_t b = 0;
  const unsigned char* p = data.data();
  std::size_t left = data.size();
  const __m128i zero = _mm_setzero_si128();
  const __m128i weights_lo = _mm_setr_epi16(16, 15, 14, 13, 12, 11, 10, 9);
  const __m128i weights_hi = _mm_setr_epi16(8, 7, 6, 5, 4, 3, 2, 1);
  while (left >= kGroup) {
    const std::size_t groups = std::min(kGroups, left / kGroup);
    __m128i sum = zero;      // bytes, two 64-bit lanes
    __m128i before = zero;   // sum as it stood before each group
    __m128i weighted = zero; // weighted bytes, four 32-bit lanes
    for (std::size_t k = 0; k < groups; ++k, p += kGroup) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      before = _mm_add_epi64(before, sum);
      sum = _mm_add_epi64(sum, _mm_sad_epu8(x, zero));
      weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpacklo_epi8(x, zero), weights_lo));
      weighted = _mm_add_epi32(weighted, _mm_madd_epi16(_mm_unpackhi_epi8(x, zero), weights_hi));
    }
    alignas(16) std::uint64_t s[2];
    alignas(16) std::uint64_t q[2];
    alignas(16) std::uint32_t w[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(s), sum);
    _mm_store_si128(reinterpret_cast<__m128i*>(q), before);
    _mm_store_si128(reinterpret_cast<__m128i*>(w), weighted);
    const std::uint64_t bytes = s[0] + s[1];
    const std::uint64_t n = groups * kGroup;
    b = (b + n * a + kGroup * (q[0] + q[1]) + w[0] + w[1] + w[2] + w[3]) % kBase;
    a = (a + bytes) % kBase;
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
  z_stream z = stream_on_arena();
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
  z_stream z = stream_on_arena();
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
