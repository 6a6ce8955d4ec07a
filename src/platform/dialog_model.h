// Modal dialogs as a window system sees them: a model made from a table of
// controls, which holds everything the window shows (check states, slider
// positions, texts, list entries, a colour swatch) and takes every event the
// window produces, and the host that runs a model modally over its owner.
//
// The model is plain code: the game's dialogs derive from it and are driven
// by tests exactly as a window drives them. A host only shows the model's
// state and reports events; after each event it reads the state again.
//
// Control ids follow the resource numbers the game uses (IDOK 1 and IDCANCEL 2
// included); groups and labels carry id 0. Radio buttons form a group from a
// control marked `group_start` up to the next such control or non-radio.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/message_box.h"

namespace platform {

enum class ControlKind : uint8_t {
  kGroup,   // frame with a caption
  kLabel,   // fixed caption
  kText,    // text the model sets (Text(id))
  kRadio,
  kCheck,
  kSlider,  // Value(id) is the position; vertical sliders have their minimum at the top
  kCombo,   // drop-down list: Items(id), Value(id) the selection (-1 none)
  kList,    // list box: Items(id), shown in a fixed-pitch font
  kEdit,    // Text(id); `range` is the character limit (0 none)
  kNumber,  // edit of digits with an up-down control over 0..range
  kButton,
  kSwatch,  // a solid colour, Color(id)
};

struct DialogControl {
  ControlKind kind;
  int id;                // 0 for groups and labels
  std::u16string_view text;
  int x, y, width, height;  // pixels in the dialog's client area
  int range = 0;         // slider maximum (minimum 0), edit limit, number maximum
  int tick = 0;          // slider tick step
  bool vertical = false;  // sliders
  bool group_start = false;  // radios: first of its group
};

// Trackbar notifications, with the Windows codes.
enum class ScrollCode : int {
  kLineUp = 0,
  kLineDown = 1,
  kPageUp = 2,
  kPageDown = 3,
  kThumbPosition = 4,
  kThumbTrack = 5,
  kTop = 6,
  kBottom = 7,
  kEndTrack = 8,
};

class DialogModel {
 public:
  DialogModel(std::u16string title, int width, int height, std::span<const DialogControl> controls);
  virtual ~DialogModel() = default;
  DialogModel(const DialogModel&) = delete;
  DialogModel& operator=(const DialogModel&) = delete;

  // What the window shows.
  const std::u16string& Title() const { return m_Title; }
  int Width() const { return m_Width; }
  int Height() const { return m_Height; }
  std::span<const DialogControl> Controls() const { return m_Controls; }
  const DialogControl* Control(int id) const;
  int Value(int id) const;                   // slider position, 0/1 checked, selection; 0 unset
  const std::u16string& Text(int id) const;  // "" unset
  const std::vector<std::u16string>& Items(int id) const;
  uint32_t Color(int id) const;              // 0x00RRGGBB
  // The control to give the focus to, once (0 none).
  int TakeFocusRequest();
  bool Finished() const { return m_Result.has_value(); }
  int Result() const { return m_Result.value_or(-1); }

  // Events. A check box or radio turned on or off (a radio turned on clears the
  // rest of its group, then Clicked follows); a button pressed.
  void SetChecked(int id, bool on);
  virtual void Clicked(int /*id*/) {}
  virtual void Scrolled(int id, ScrollCode code, int position);  // default: position as sent
  // A slider's thumb dragged to `position` between steps: it lands on the
  // nearest step, as a thumb-track notification.
  void Dragged(int id, double position);
  virtual void Selected(int id, int index);                       // default: the selection
  virtual void Edited(int id, std::u16string text);               // default: the text, cut to the limit
  virtual void Focused(int /*id*/, bool /*focused*/) {}
  // Escape or the close box; default: end with -1.
  virtual void Cancel();

 protected:
  void SetValue(int id, int value) { m_Values[id] = value; }
  void SetText(int id, std::u16string text) { m_Texts[id] = std::move(text); }
  void SetItems(int id, std::vector<std::u16string> items) { m_Items[id] = std::move(items); }
  void SetColor(int id, uint32_t rgb) { m_Colors[id] = rgb; }
  void RequestFocus(int id) { m_FocusRequest = id; }
  void End(int result) { m_Result = result; }
  void SetTitle(std::u16string title) { m_Title = std::move(title); }

 private:
  std::u16string m_Title;
  int m_Width;
  int m_Height;
  std::vector<DialogControl> m_Controls;
  std::map<int, int> m_Values;
  std::map<int, std::u16string> m_Texts;
  std::map<int, std::vector<std::u16string>> m_Items;
  std::map<int, uint32_t> m_Colors;
  int m_FocusRequest = 0;
  std::optional<int> m_Result;
};

// Runs a model modally over `owner` until it is finished.
class IDialogHost {
 public:
  virtual ~IDialogHost() = default;
  virtual void Run(WindowHandle owner, DialogModel& model) = 0;
};

// Hands each model to a player (a test's hands), then cancels what is still
// open; with no player every dialog is cancelled at once.
class HeadlessDialogHost : public IDialogHost {
 public:
  using Player = std::function<void(DialogModel&)>;
  explicit HeadlessDialogHost(Player player = {}) : m_Player(std::move(player)) {}
  void Run(WindowHandle owner, DialogModel& model) override;

 private:
  Player m_Player;
};

// The host the game's dialogs run in; headless until a window system installs its own.
IDialogHost& DialogHostService();
// Installs a host (not owned); null restores the headless one. Returns the previous.
IDialogHost* SetDialogHostService(IDialogHost* host);

}  // namespace platform
