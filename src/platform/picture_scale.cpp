#include "platform/picture_scale.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PICTURE_SCALE_X86 1
#endif

namespace platform {

PresentRect FitPicture(int32_t area_w, int32_t area_h, int32_t picture_w, int32_t picture_h) {
  const double scale = std::min(static_cast<double>(area_w) / picture_w, static_cast<double>(area_h) / picture_h);
  const int32_t w = std::clamp(static_cast<int32_t>(std::lround(picture_w * scale)), 1, area_w);
  const int32_t h = std::clamp(static_cast<int32_t>(std::lround(picture_h * scale)), 1, area_h);
  const int32_t x = (area_w - w) / 2, y = (area_h - h) / 2;
  return PresentRect{x, y, x + w, y + h};
}

namespace {

// Mix of two pixels, each byte on its own, two bytes at a time in the lanes
// of a 32-bit word.
inline uint32_t Mix(uint32_t a, uint32_t b, uint32_t w) {
  const uint32_t v = 256 - w;
  const uint32_t even = (((a & 0x00FF00FFu) * v + (b & 0x00FF00FFu) * w + 0x00800080u) >> 8) & 0x00FF00FFu;
  const uint32_t odd = (((a >> 8) & 0x00FF00FFu) * v + ((b >> 8) & 0x00FF00FFu) * w + 0x00800080u) & 0xFF00FF00u;
  return even | odd;
}

uint32_t Pixel(const uint8_t* line, int32_t index) {
  uint32_t p;
  std::memcpy(&p, line + static_cast<ptrdiff_t>(index) * 4, 4);
  return p;
}

#if PICTURE_SCALE_X86
bool HasWideKernels() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

// Sixteen bytes at `low` and sixteen at `high` in the two halves of a register.
__attribute__((target("avx2"))) inline __m256i Both(const void* low, const void* high) {
  return _mm256_loadu2_m128i(static_cast<const __m128i*>(high), static_cast<const __m128i*>(low));
}

// Four scaled pixels from one load of four source pixels: the selections
// pair each tap's bytes, the weights sum the pairs.
__attribute__((target("ssse3"))) void AcrossQuads(const uint8_t* line, const PictureScaler::Quad* quads,
                                                  int32_t count, uint32_t* out) {
  const __m128i zero = _mm_setzero_si128(), round = _mm_set1_epi32(128);
  for (int32_t q = 0; q < count; ++q) {
    const PictureScaler::Quad& quad = quads[q];
    const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + quad.base * 4));
    const __m128i* select = reinterpret_cast<const __m128i*>(quad.select);
    const __m128i* weights = reinterpret_cast<const __m128i*>(quad.weights);
    __m128i half[2];
    for (int h = 0; h < 2; ++h) {
      const __m128i pairs = _mm_shuffle_epi8(pixels, _mm_load_si128(select + h));
      __m128i a = _mm_madd_epi16(_mm_unpacklo_epi8(pairs, zero), _mm_load_si128(weights + 2 * h));
      __m128i b = _mm_madd_epi16(_mm_unpackhi_epi8(pairs, zero), _mm_load_si128(weights + 2 * h + 1));
      a = _mm_srli_epi32(_mm_add_epi32(a, round), 8);
      b = _mm_srli_epi32(_mm_add_epi32(b, round), 8);
      half[h] = _mm_packs_epi32(a, b);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4 * q), _mm_packus_epi16(half[0], half[1]));
  }
}

bool HasQuadKernel() {
  static const bool has = __builtin_cpu_supports("ssse3");
  return has;
}

// Down, 32 bytes at a time; the same sums as below.
__attribute__((target("avx2"))) int32_t DownWide(const uint8_t* a, const uint8_t* b, uint32_t w, int32_t bytes,
                                                 uint8_t* to) {
  const __m256i zero = _mm256_setzero_si256(), round = _mm256_set1_epi16(128);
  const __m256i vv = _mm256_set1_epi16(static_cast<int16_t>(256 - w)), ww = _mm256_set1_epi16(static_cast<int16_t>(w));
  int32_t i = 0;
  for (; i + 32 <= bytes; i += 32) {
    const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a + i));
    const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i));
    __m256i halves[2];
    for (int h = 0; h < 2; ++h) {
      const __m256i p = h == 0 ? _mm256_unpacklo_epi8(x, zero) : _mm256_unpackhi_epi8(x, zero);
      const __m256i q = h == 0 ? _mm256_unpacklo_epi8(y, zero) : _mm256_unpackhi_epi8(y, zero);
      halves[h] = _mm256_srli_epi16(
          _mm256_add_epi16(_mm256_add_epi16(_mm256_mullo_epi16(p, vv), _mm256_mullo_epi16(q, ww)), round), 8);
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + i), _mm256_packus_epi16(halves[0], halves[1]));
  }
  return i;
}

// Eight scaled columns of one source row a step, kept as 16-bit fields:
// a + (b - a) * w / 256 rounded, which is (a * (256 - w) + b * w + 128) / 256
// exactly, as mulhrs rounds (x * y + 2^14) / 2^15 and y is w * 128.
__attribute__((target("avx2"))) void AcrossOctets(const uint8_t* line, const PictureScaler::Octet* octets,
                                                  const PictureScaler::Selection* selections, int32_t count,
                                                  uint16_t* out) {
  for (int32_t g = 0; g < count; ++g) {
    const PictureScaler::Octet& o = octets[g];
    for (int r = 0; r < 2; ++r) {
      const __m256i pixels = Both(line + o.base[r][0] * 4, line + o.base[r][1] * 4);
      const PictureScaler::Selection& s = selections[o.selection[r]];
      const __m256i a = _mm256_shuffle_epi8(pixels, _mm256_load_si256(reinterpret_cast<const __m256i*>(s.select[0])));
      const __m256i b = _mm256_shuffle_epi8(pixels, _mm256_load_si256(reinterpret_cast<const __m256i*>(s.select[1])));
      const __m256i w = _mm256_load_si256(reinterpret_cast<const __m256i*>(o.weights[r]));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32 * g + 16 * r),
                          _mm256_add_epi16(a, _mm256_mulhrs_epi16(_mm256_sub_epi16(b, a), w)));
    }
  }
}

// Sixteen fields of `a` and `b` mixed as in AcrossOctets.
__attribute__((target("avx2"))) inline __m256i Mix16(const uint16_t* a, const uint16_t* b, __m256i w) {
  const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
  const __m256i y = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b));
  return _mm256_add_epi16(x, _mm256_mulhrs_epi16(_mm256_sub_epi16(y, x), w));
}

// One scaled row down from two rows of AcrossOctets, columns 8 * first on;
// writes only the columns left to right of `to`, a row from column 0.
__attribute__((target("avx2"))) void DownOctets(const uint16_t* upper, const uint16_t* lower, uint32_t weight,
                                                int32_t first, int32_t count, int32_t left, int32_t right,
                                                uint8_t* to) {
  const __m256i w = _mm256_set1_epi16(static_cast<int16_t>(weight * 128));
  for (int32_t g = 0; g < count; ++g) {
    const __m256i pixels = _mm256_packus_epi16(Mix16(upper + 32 * g, lower + 32 * g, w),
                                               Mix16(upper + 32 * g + 16, lower + 32 * g + 16, w));
    const int32_t x = 8 * (first + g);
    if (x >= left && x + 8 <= right) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + x * 4), pixels);
    } else {
      // A group the edge of the rectangle cuts.
      alignas(32) uint8_t part[32];
      _mm256_store_si256(reinterpret_cast<__m256i*>(part), pixels);
      const int32_t from = std::max(x, left), until = std::min(x + 8, right);
      std::memcpy(to + from * 4, part + (from - x) * 4, static_cast<size_t>(until - from) * 4);
    }
  }
}

#endif

// One scaled row down: each byte of `to` mixes the bytes of `a` and `b`.
void Down(const uint8_t* a, const uint8_t* b, uint32_t w, int32_t bytes, uint8_t* to, bool fast, bool wide) {
  int32_t i = 0;
  const auto v = static_cast<uint16_t>(256 - w);
#if PICTURE_SCALE_X86
  if (fast && wide) i = DownWide(a, b, w, bytes, to);
#else
  (void)wide;
#endif
#if defined(__SSE2__)
  if (fast) {
    const __m128i zero = _mm_setzero_si128(), round = _mm_set1_epi16(128);
    const __m128i vv = _mm_set1_epi16(static_cast<int16_t>(v)), ww = _mm_set1_epi16(static_cast<int16_t>(w));
    // Each sum fits 16 bits: at most 255 * 256 + 128.
    auto mix = [&](__m128i x, __m128i y) {
      return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(_mm_mullo_epi16(x, vv), _mm_mullo_epi16(y, ww)), round), 8);
    };
    for (; i + 16 <= bytes; i += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
      const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
      const __m128i lo = mix(_mm_unpacklo_epi8(x, zero), _mm_unpacklo_epi8(y, zero));
      const __m128i hi = mix(_mm_unpackhi_epi8(x, zero), _mm_unpackhi_epi8(y, zero));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_packus_epi16(lo, hi));
    }
  }
#else
  (void)fast;
#endif
  for (; i < bytes; ++i) to[i] = static_cast<uint8_t>((a[i] * v + b[i] * w + 128) >> 8);
}

}  // namespace

std::vector<PictureScaler::Tap> PictureScaler::Taps(int32_t source, int32_t scaled) {
  std::vector<Tap> taps(static_cast<size_t>(scaled));
  const double step = static_cast<double>(source) / scaled;
  for (int32_t i = 0; i < scaled; ++i) {
    // The scaled pixel's centre, in source pixels, from the first one's centre.
    const double at = std::clamp((i + 0.5) * step - 0.5, 0.0, static_cast<double>(source - 1));
    auto index = static_cast<int32_t>(at);
    auto weight = static_cast<uint32_t>(std::lround((at - index) * 256));
    if (weight == 256) ++index, weight = 0;  // rounds onto the next pixel: only it counts
    taps[static_cast<size_t>(i)] = Tap{index, std::min(index + 1, source - 1), weight};
  }
  return taps;
}

PictureScaler::PictureScaler(int32_t source_w, int32_t source_h, int32_t scaled_w, int32_t scaled_h, Kernel kernel)
    : column_(Taps(source_w, scaled_w)), row_(Taps(source_h, scaled_h)) {
#if PICTURE_SCALE_X86
  if (kernel == Kernel::kPlain || !HasQuadKernel() || source_w < 4) return;
  wide_ = kernel == Kernel::kFastest && HasWideKernels();
  if (wide_) {
    octets_.resize(static_cast<size_t>((scaled_w + 7) / 8));
    bool fits = true;
    for (size_t g = 0; g < octets_.size(); ++g) {
      Octet& o = octets_[g];
      for (int r = 0; r < 2; ++r) {
        Selection selection{};
        for (int lane = 0; lane < 2; ++lane) {
          const int32_t column = static_cast<int32_t>(8 * g) + 2 * r + 4 * lane;
          const Tap* taps[2] = {&column_[static_cast<size_t>(std::min(column, scaled_w - 1))],
                                &column_[static_cast<size_t>(std::min(column + 1, scaled_w - 1))]};
          const int32_t base = std::min(taps[0]->index, source_w - 4);
          o.base[r][lane] = base;
          for (int k = 0; k < 2; ++k) {
            const int32_t at[2] = {taps[k]->index - base, taps[k]->next - base};
            for (int t = 0; t < 2; ++t) {
              if (at[t] < 0 || at[t] > 3) fits = false;
              for (int c = 0; c < 4; ++c) {
                uint8_t* pair = &selection.select[t][16 * lane + 8 * k + 2 * c];
                pair[0] = static_cast<uint8_t>(std::clamp(at[t], 0, 3) * 4 + c);
                pair[1] = 0x80;  // the high byte is zero
              }
            }
            for (int c = 0; c < 4; ++c) o.weights[r][8 * lane + 4 * k + c] = static_cast<int16_t>(taps[k]->weight * 128);
          }
        }
        auto same = std::find_if(selections_.begin(), selections_.end(), [&](const Selection& s) {
          return std::memcmp(s.select, selection.select, sizeof selection.select) == 0;
        });
        if (same == selections_.end()) same = selections_.insert(same, selection);
        o.selection[r] = static_cast<int32_t>(same - selections_.begin());
      }
    }
    if (fits) return;
    octets_.clear();
    selections_.clear();
  }
  quads_.resize(static_cast<size_t>(scaled_w / 4));
  for (size_t q = 0; q < quads_.size(); ++q) {
    Quad& quad = quads_[q];
    const Tap* taps = &column_[4 * q];
    quad.base = std::min(taps[0].index, source_w - 4);
    for (int j = 0; j < 4; ++j) {
      const int32_t first = taps[j].index - quad.base, second = taps[j].next - quad.base;
      if (first < 0 || second > 3) quad.base = -1;
      for (int c = 0; c < 4; ++c) {
        quad.select[j / 2][(j % 2) * 8 + 2 * c] = static_cast<uint8_t>(std::clamp(first, 0, 3) * 4 + c);
        quad.select[j / 2][(j % 2) * 8 + 2 * c + 1] = static_cast<uint8_t>(std::clamp(second, 0, 3) * 4 + c);
        quad.weights[j][2 * c] = static_cast<int16_t>(256 - taps[j].weight);
        quad.weights[j][2 * c + 1] = static_cast<int16_t>(taps[j].weight);
      }
    }
  }
  run_end_.resize(quads_.size());
  for (size_t q = quads_.size(); q-- > 0;) {
    const bool fits = quads_[q].base >= 0;
    run_end_[q] = !fits ? static_cast<int32_t>(q) : q + 1 < quads_.size() ? run_end_[q + 1] : static_cast<int32_t>(q + 1);
  }
#else
  (void)kernel;
#endif
}

PresentRect PictureScaler::Covered(const PresentRect& source) const {
  // Taps rise with the scaled index: from the first whose next pixel reaches
  // the rectangle to the last whose own pixel is still inside it.
  auto span = [](const std::vector<Tap>& taps, int32_t from, int32_t to, int32_t& first, int32_t& end) {
    first = static_cast<int32_t>(std::partition_point(taps.begin(), taps.end(),
                                                      [&](const Tap& t) { return t.next < from; }) - taps.begin());
    end = static_cast<int32_t>(std::partition_point(taps.begin(), taps.end(),
                                                    [&](const Tap& t) { return t.index < to; }) - taps.begin());
  };
  PresentRect out{};
  span(column_, source.left, source.right, out.left, out.right);
  span(row_, source.top, source.bottom, out.top, out.bottom);
  if (out.left >= out.right || out.top >= out.bottom) return PresentRect{0, 0, 0, 0};
  return out;
}

// Scaled columns left to left + count of one source row.
void PictureScaler::Across(const uint8_t* line, int32_t left, int32_t count, uint32_t* out) const {
  int32_t x = left;
  const int32_t end = left + count;
  auto one_by_one = [&](int32_t until) {
    for (; x < until; ++x) {
      const Tap& t = column_[static_cast<size_t>(x)];
      out[x - left] = Mix(Pixel(line, t.index), Pixel(line, t.next), t.weight);
    }
  };
#if PICTURE_SCALE_X86
  if (!quads_.empty()) {
    one_by_one(std::min(end, (left + 3) / 4 * 4));
    while (x + 4 <= end) {
      // A run of whole quads that can go four at a time.
      const int32_t q = x / 4;
      const int32_t last = static_cast<size_t>(q) < quads_.size() ? std::min(run_end_[static_cast<size_t>(q)], end / 4) : q;
      if (last > q) {
        AcrossQuads(line, &quads_[static_cast<size_t>(q)], last - q, out + (x - left));
        x = last * 4;
      } else {
        one_by_one(x + 4);
      }
    }
  }
#endif
  one_by_one(end);
}

void PictureScaler::Scale(const PixelBuffer& from, const PresentRect& scaled, uint8_t* to, ptrdiff_t pitch) const {
  const int32_t width = scaled.right - scaled.left;
  if (width <= 0 || scaled.bottom <= scaled.top) return;
  if (!octets_.empty()) return ScaleByOctets(from, scaled, to, pitch);
  for (auto& row : across_) row.resize(static_cast<size_t>(width));
  int32_t held[2] = {-1, -1};
  auto across = [&](int32_t source_row) {
    return reinterpret_cast<const uint8_t*>(HeldRow(held, source_row, [&](uint32_t* out) {
      Across(from.topRow + from.pitch * source_row, scaled.left, width, out);
    }));
  };
  for (int32_t y = scaled.top; y < scaled.bottom; ++y) {
    const Tap& tap = row_[static_cast<size_t>(y)];
    uint8_t* line = to + pitch * y + static_cast<ptrdiff_t>(scaled.left) * 4;
    const uint8_t* upper = across(tap.index);
    if (tap.weight == 0) {
      std::memcpy(line, upper, static_cast<size_t>(width) * 4);
    } else {
      Down(upper, across(tap.next), tap.weight, width * 4, line, !quads_.empty(), wide_);
    }
  }
}

// Whole groups of eight columns across, as the octets lie, and down from
// those 16-bit rows; the rectangle's own columns are written.
void PictureScaler::ScaleByOctets(const PixelBuffer& from, const PresentRect& scaled, uint8_t* to,
                                  ptrdiff_t pitch) const {
#if PICTURE_SCALE_X86
  const int32_t first = scaled.left / 8, count = (scaled.right + 7) / 8 - first;
  for (auto& row : across_) row.resize(static_cast<size_t>(count) * 16);
  int32_t held[2] = {-1, -1};
  auto across = [&](int32_t source_row) {
    return reinterpret_cast<const uint16_t*>(HeldRow(held, source_row, [&](uint32_t* out) {
      AcrossOctets(from.topRow + from.pitch * source_row, &octets_[static_cast<size_t>(first)], selections_.data(),
                   count, reinterpret_cast<uint16_t*>(out));
    }));
  };
  for (int32_t y = scaled.top; y < scaled.bottom; ++y) {
    const Tap& tap = row_[static_cast<size_t>(y)];
    const uint16_t* upper = across(tap.index);
    DownOctets(upper, across(tap.next), tap.weight, first, count, scaled.left, scaled.right, to + pitch * y);
  }
#else
  (void)from, (void)scaled, (void)to, (void)pitch;
#endif
}

}  // namespace platform
