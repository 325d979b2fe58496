#include "score/length_helpers.h"

#include <algorithm>

#include "common/limits.h"

namespace mel {

namespace {

// Counter steps in one whole note: a counter step is a sixteenth.
constexpr int64_t kStepsPerWhole = 16;

bool is_power_of_two_or_zero(int64_t v) { return v >= 0 && (v & (v - 1)) == 0; }

// n is a multiple of the triplet grid by a power of two (or 0): a length the
// formats can express without joining anything to it.
bool is_triplet_length(int64_t n, int64_t tripletGrid) {
  return tripletGrid > 0 && n % tripletGrid == 0 && is_power_of_two_or_zero(n / tripletGrid);
}

}  // namespace

int64_t convert_length(int64_t ticks, int64_t& carry, int unitsPerWhole, int wholeTicks) {
  int64_t w = std::max(1, wholeTicks);
  carry += ticks * unitsPerWhole;
  int64_t units = (w / 2 + carry) / w;
  carry -= w * units;
  return units;
}

RangeCut::RangeCut(const RangeCutSettings& s, int unitsPerStep) {
  int64_t step = unitsPerStep;
  // The start counter is 1-based: the first sixteenth is counter 1.
  start_ = static_cast<int64_t>(std::max(1, s.startCounter) - 1) * step;
  end_ = static_cast<int64_t>(std::max(0, s.endCounter)) * step;
  int64_t w = std::max(1, s.wholeTicks);
  lead_ = s.restcut ? step * kStepsPerWhole * std::max(0, s.leadIn) / w : 0;
}

bool RangeCut::keep(int64_t a, int64_t& d) {
  if (a < start_) return false;
  if (a - d < start_) {
    d = a - start_;
  } else if (a - d == 0 && d > 0 && lead_ > 0 && !leadRemoved_) {
    d -= std::min(d, lead_);
    leadRemoved_ = true;
  }
  if (end_ > 0) {
    if (a - d > end_) return false;
    if (a > end_) d = end_ - (a - d);
  }
  return true;
}

int64_t merge_rest_into_note(int64_t& n, int64_t r, int64_t g, int64_t t) {
  if (g <= 0 || r <= 0) return 0;
  if (n % g == 0 || is_triplet_length(n, t)) return 0;
  int64_t need = g - n % g;
  if (r < need) {
    n += r;
    return r;
  }
  int64_t left = r - need;
  int64_t joined = n + r;
  if (left < g && (left == t || is_triplet_length(joined, t) || joined % g == 0)) {
    n = joined;
    return r;
  }
  n += need;
  return need;
}

TrackLengths::TrackLengths(const Units& units, const Merge& merge, const RangeCutSettings& range)
    : units_(units), merge_(merge), cut_(range, units.unitsPerStep) {}

void TrackLengths::begin_track() {
  carry_ = 0;
  borrowed_ = 0;
  elapsed_ = 0;
  cut_.begin_track();
}

bool TrackLengths::take(const ScoreEvent& event, const ScoreEvent& next, int64_t& d) {
  d = convert_length(event.value, carry_, units_.unitsPerWhole, units_.wholeTicks);
  d = std::max<int64_t>(0, d - borrowed_);
  borrowed_ = 0;
  if (merge_.on && event.kind == ScoreEvent::Note && next.kind == ScoreEvent::Rest) {
    int64_t carry = carry_;
    int64_t rest = convert_length(next.value, carry, units_.unitsPerWhole, units_.wholeTicks);
    borrowed_ = merge_rest_into_note(d, rest, merge_.grid, merge_.tripletGrid);
  }
  elapsed_ += d;
  return cut_.keep(elapsed_, d);
}

}  // namespace mel
