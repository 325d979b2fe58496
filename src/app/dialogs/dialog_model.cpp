#include "app/dialogs/dialog_model.h"

#include <cctype>
#include <climits>

#include "common/cp932.h"
#include "common/saturate.h"

namespace mel {

namespace {

constexpr int kSizeStep = 1024;
constexpr int kSizeCtrlStep = 10240;
constexpr int kSizeSpinTop = 61440;
constexpr int kCounterStepsPerBar = 16;
constexpr int kLowestSpunVelocity = 80;
constexpr int kVelocityStep = 20;
constexpr int kMaxVelocity = 127;
constexpr int kNoteLimitStep = 32;
constexpr int kNoteLimitCtrlStep = 128;
constexpr int kNoteLimitSpinTop = 1024;

std::optional<int> parse_number(const std::string& text, bool signAllowed) {
  std::size_t i = 0;
  auto skip_blanks = [&] {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  };
  skip_blanks();
  bool negative = false;
  if (signAllowed && i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  const std::size_t digits = i;
  int64_t value = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    value = std::min<int64_t>(value * 10 + (text[i++] - '0'), int64_t{INT_MAX} + 1);
  }
  if (i == digits) return std::nullopt;
  skip_blanks();
  if (i != text.size()) return std::nullopt;
  return clamp_to_int(negative ? -value : value);
}

}  // namespace

std::optional<int> parse_typed_number(const std::string& text) { return parse_number(text, true); }

std::optional<int> parse_typed_count(const std::string& text) { return parse_number(text, false); }

std::string number_text(int value, bool blankZero) {
  if (blankZero && value == 0) return {};
  return std::to_string(value);
}

std::string cut_text(const std::string& text, std::size_t maxBytes) {
  std::size_t end = 0;
  while (end < text.size()) {
    std::size_t width = is_cp932_lead_byte(text[end]) && end + 1 < text.size() ? 2 : 1;
    if (end + width > maxBytes) break;
    end += width;
  }
  return text.substr(0, end);
}

namespace {

// A step up to at most top (a value already above it stays), or down to at
// least 0 (from top at most).
int spin_bounded_step(int value, int direction, int step, int top) {
  if (direction > 0) return value >= top ? value : std::min(value + step, top);
  return std::max(0, std::min(value, top) - step);
}

}  // namespace

int spin_size_limit(int value, int direction, bool ctrl) {
  return spin_bounded_step(value, direction, ctrl ? kSizeCtrlStep : kSizeStep, kSizeSpinTop);
}

int spin_note_limit(int value, int direction, bool ctrl) {
  return spin_bounded_step(value, direction, ctrl ? kNoteLimitCtrlStep : kNoteLimitStep, kNoteLimitSpinTop);
}

int spin_start_counter(int value, int direction, int length) {
  // The starts of bars: 1, 17, 33 ...
  int next = direction > 0 ? (std::max(value, 0) / kCounterStepsPerBar + 1) * kCounterStepsPerBar + 1
                           : ((std::max(value, 2) - 2) / kCounterStepsPerBar) * kCounterStepsPerBar + 1;
  if (direction > 0 && value < 1) next = 1;
  if (next > length) return value;
  return next;
}

int spin_end_counter(int value, int direction, int length) {
  // The ends of bars: 16, 32, 48 ...
  int next = direction > 0 ? (std::max(value, 0) / kCounterStepsPerBar + 1) * kCounterStepsPerBar
                           : ((std::max(value, 1) - 1) / kCounterStepsPerBar) * kCounterStepsPerBar;
  if (next > length) return direction > 0 ? value : std::min(next, length);
  return next;
}

int spin_velocity(int value, int direction) {
  if (direction > 0) {
    if (value < kLowestSpunVelocity) return kLowestSpunVelocity;
    return std::min(kMaxVelocity, (value / kVelocityStep + 1) * kVelocityStep);
  }
  if (value <= kLowestSpunVelocity) return 0;
  int below = ((value - 1) / kVelocityStep) * kVelocityStep;
  return std::max(below, kLowestSpunVelocity);
}

}  // namespace mel
