// The portable half of every dialog: what each control shows, how its spin
// button steps it, what is enabled, and what OK stores. The window binds a
// dialog template to a model through the model's control table (control id
// and kind), never by a case per control; the tests drive the models alone.
// Texts are CP932 bytes.
#pragma once

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace mel {

enum class ControlKind {
  Number,      // an edit box holding a number as typed
  Text,        // an edit box holding text
  Check,       // a check box: state 0 or 1
  Choice,      // a drop-down list: state is the selected entry
  ChoiceText,  // an editable drop-down: the text as typed or chosen
  Label,       // a static text the model computes
  Slider,      // a horizontal scroll bar: state is its position
  List,        // a list box: state is the selected line; a double-click is a command
};

struct ControlBinding {
  int id = 0;
  ControlKind kind = ControlKind::Label;
  int spinId = 0;  // the spin button that steps this control, 0 = none
};

class DialogModel;

// What a button other than OK and Cancel asks of the window.
struct DialogAction {
  std::string message;  // a message box with this text (and caption) when not empty
  std::string caption;
  std::unique_ptr<DialogModel> child;  // a modal dialog to open, then refresh this one
  bool refresh = false;                // show the model's values again
};

class DialogModel {
 public:
  virtual ~DialogModel() = default;

  virtual int template_id() const = 0;
  virtual std::string title() const = 0;
  virtual const std::vector<ControlBinding>& controls() const = 0;
  // The entries of a Choice or ChoiceText control.
  virtual std::vector<std::string> choices(int /*id*/) const { return {}; }

  // What a control shows: text for Number, Text, ChoiceText and Label; state
  // for Check and Choice.
  virtual std::string text(int id) const = 0;
  virtual int state(int id) const = 0;
  // What the user typed or chose.
  virtual void set_text(int id, const std::string& text) = 0;
  virtual void set_state(int id, int state) = 0;

  virtual bool enabled(int /*id*/) const { return true; }
  // A Label drawn as a warning (red on grey).
  virtual bool warns(int /*id*/) const { return false; }
  // The range of a Slider.
  virtual std::pair<int, int> slider_range(int /*id*/) const { return {0, 0}; }
  // A spin button of control id pressed: direction +1 up, -1 down.
  virtual void spin(int /*id*/, int /*direction*/, bool /*ctrl*/) {}
  virtual DialogAction command(int /*id*/) { return {}; }
  // A check box was clicked (its new state already read), with the keys held.
  virtual void clicked(int /*id*/, bool /*ctrl*/, bool /*shift*/) {}
  // A control got the focus or its edit text changed.
  virtual void focused(int /*id*/) {}
  // OK: clamps every value to its range and stores it.
  virtual void ok() = 0;
};

// A number as typed: optional blanks, an optional sign and digits; anything
// else is not a number. Values beyond int saturate.
std::optional<int> parse_typed_number(const std::string& text);
// A number typed where only 0 and above make sense: a sign is refused.
std::optional<int> parse_typed_count(const std::string& text);
// The number shown in a box: "" for 0 when blankZero, else "%d".
std::string number_text(int value, bool blankZero = false);
// Cuts CP932 text after at most maxBytes bytes, keeping two-byte characters whole.
std::string cut_text(const std::string& text, std::size_t maxBytes);

// Spin rules shared by the format dialogs.
// File size limits: steps of 1024 (10240 with Ctrl) between 0 and 61440.
int spin_size_limit(int value, int direction, bool ctrl);
// Start counters move to 16n + 1, end counters to 16n, never beyond length.
int spin_start_counter(int value, int direction, int length);
int spin_end_counter(int value, int direction, int length);
// Velocities: up from below 80 to 80, then to the next multiple of 20 (at
// most 127); down from 80 or less to 0 (shown empty), else the multiple of 20 below.
int spin_velocity(int value, int direction);
// Note limits per track: steps of 32 (128 with Ctrl) between 0 and 1024; a
// typed limit above 1024 stays when stepped up and steps down from 1024.
int spin_note_limit(int value, int direction, bool ctrl);

// One control bound to one member of the model's working values.
template <class V>
struct BoundField {
  int id = 0;
  ControlKind kind = ControlKind::Number;
  std::variant<int V::*, bool V::*, std::string V::*> member;
  int minValue = 0;  // Number: the range OK clamps to; Text: maxValue is the byte limit
  int maxValue = 0;
  int spinId = 0;
  int step = 1;       // plain spin step (0: the model steps it itself)
  int ctrlStep = 1;   // spin step with Ctrl
  bool blankZero = false;
};

// A dialog whose controls are a table of fields over a values record V.
// Base is DialogModel or an interface derived from it.
template <class V, class Base = DialogModel>
class BoundDialog : public Base {
 public:
  BoundDialog(V values, std::vector<BoundField<V>> fields) : values_(std::move(values)), fields_(std::move(fields)) {
    for (const BoundField<V>& f : fields_) bindings_.push_back({f.id, f.kind, f.spinId});
  }

  const V& values() const { return values_; }
  const std::vector<ControlBinding>& controls() const override { return bindings_; }

  std::string text(int id) const override {
    const BoundField<V>* f = field(id);
    if (!f) return label(id);
    if (auto m = std::get_if<std::string V::*>(&f->member)) return values_.*(*m);
    return number_text(number(*f), f->blankZero);
  }
  int state(int id) const override {
    const BoundField<V>* f = field(id);
    return f ? number(*f) : 0;
  }
  void set_text(int id, const std::string& text) override {
    const BoundField<V>* f = field(id);
    if (!f) return;
    if (auto m = std::get_if<std::string V::*>(&f->member)) {
      values_.*(*m) = text;
    } else {
      set_number(*f, parse_typed_number(text).value_or(0));
    }
  }
  void set_state(int id, int state) override {
    if (const BoundField<V>* f = field(id)) set_number(*f, state);
  }
  void spin(int id, int direction, bool ctrl) override {
    const BoundField<V>* f = field(id);
    if (!f || f->step == 0) return;
    long long next = static_cast<long long>(number(*f)) + static_cast<long long>(direction) * (ctrl ? f->ctrlStep : f->step);
    set_number(*f, static_cast<int>(std::clamp<long long>(next, f->minValue, f->maxValue)));
  }

 protected:
  // Static texts that are not fields.
  virtual std::string label(int /*id*/) const { return {}; }

  // Every Number field into its range, every Text field cut to its length.
  void clamp_fields() {
    for (const BoundField<V>& f : fields_) {
      if (auto m = std::get_if<std::string V::*>(&f.member)) {
        if (f.maxValue > 0) values_.*(*m) = cut_text(values_.*(*m), static_cast<std::size_t>(f.maxValue));
      } else if (f.kind == ControlKind::Number) {
        set_number(f, std::clamp(number(f), f.minValue, f.maxValue));
      }
    }
  }
  void add_binding(ControlBinding binding) { bindings_.push_back(binding); }

  V values_;

 private:
  const BoundField<V>* field(int id) const {
    for (const BoundField<V>& f : fields_) {
      if (f.id == id) return &f;
    }
    return nullptr;
  }
  int number(const BoundField<V>& f) const {
    if (auto m = std::get_if<int V::*>(&f.member)) return values_.*(*m);
    if (auto m = std::get_if<bool V::*>(&f.member)) return (values_.*(*m)) ? 1 : 0;
    return 0;
  }
  void set_number(const BoundField<V>& f, int value) {
    if (auto m = std::get_if<int V::*>(&f.member)) values_.*(*m) = value;
    if (auto m = std::get_if<bool V::*>(&f.member)) values_.*(*m) = value != 0;
  }

  std::vector<BoundField<V>> fields_;
  std::vector<ControlBinding> bindings_;
};

}  // namespace mel
