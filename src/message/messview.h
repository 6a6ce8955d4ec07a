// The message text view: the sprite inside the message window on which the
// story's text comes out character by character. A message line becomes an
// array of MESSCOMMAND records (characters, with the player's names put in for
// "#1" and "#2"); the view draws each character with the renderer's text code
// and then waits the per-character delay, which a click or a held skip button
// cuts short. The view can also show the blinking click-wait icon beside
// itself and wait for a click.
//
// Colours: the getters and setters of the view take GDI colours 0x00BBGGRR;
// DrawCommands and DrawText take 0x00RRGGBB and exchange red and blue. A colour
// read back with GetTextColor goes to DrawText through SwapRedBlue.
//
// Game thread only. The view owns its pixels (it is its own surface); its
// reference count is the surface's, and Release takes it out of the tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "dxdraw/dxsurface.h"
#include "dxdraw/text.h"

struct ACT;

namespace TextScript {

// One command of a message: {code, value}. An array ends at the first code 0.
struct MESSCOMMAND {
  uint32_t code;
  uintptr_t value;  // a UTF-16 unit, a time, a colour, a switch, or (code 7) an owned malloc'ed buffer
};

enum : uint32_t {
  kMessEnd = 0,
  kMessChar = 1,     // value: one UTF-16 unit (surrogate pairs are joined)
  kMessDelay = 2,    // value: per-character delay in ms
  kMessNone = 3,
  kMessColor = 4,    // value: text colour 0x00BBGGRR
  kMessBold = 5,     // value: on (nonzero) or off
  kMessWait = 6,     // value: per-character wait on or off
  kMessBuffer = 7,   // value: a buffer freed with the array; draws nothing
  kMessShadow = 8,   // value: on or off
  kMessOutline = 9,  // value: on or off
};

// An array of commands, each made {0, 0}; the buffers of code-7 elements are
// freed with it.
class MessCommandArray {
 public:
  explicit MessCommandArray(std::size_t count) : m_Commands(count, MESSCOMMAND{kMessEnd, 0}) {}
  ~MessCommandArray();
  MessCommandArray(const MessCommandArray&) = delete;
  MessCommandArray& operator=(const MessCommandArray&) = delete;

  MESSCOMMAND* data() { return m_Commands.data(); }
  std::size_t size() const { return m_Commands.size(); }
  MESSCOMMAND& operator[](std::size_t i) { return m_Commands[i]; }

 private:
  std::vector<MESSCOMMAND> m_Commands;
};

// Capacity of the command arrays and text buffers of one message.
inline constexpr std::size_t kMessageCapacity = 1024;

// Copies the text (up to its end or its first NUL) into code-1 commands, "#1"
// standing for the family name and "#2" for the given name; a "#" before
// anything else is an ordinary character, and a name is not expanded again.
// At most capacity - 1 characters are written and the end command always
// follows them inside the capacity; the rest of the text is dropped. Returns
// the number of commands written, the end command included (0 for capacity 0).
std::size_t ExpandMessageGlyphs(std::span<MESSCOMMAND> out, std::u16string_view text,
                                std::u16string_view familyName, std::u16string_view givenName);
// The text as it stands, names already put in: code-1 commands within the
// same bounds, and the same count returned.
std::size_t CopyMessageGlyphs(std::span<MESSCOMMAND> out, std::u16string_view text);
// ExpandMessageGlyphs with the names of the COMMON record; returns the element after the
// end command (out itself when capacity is 0).
MESSCOMMAND* ExpandMessageGlyphs(uint32_t ignored, MESSCOMMAND* out, std::size_t capacity,
                                 const char16_t* text);
// The expanded text itself (the names of the COMMON record put in), at most
// maxUnits units: what the backlog keeps and the skipping path draws.
std::u16string ExpandMessageText(std::u16string_view text, std::size_t maxUnits = kMessageCapacity - 1);

// 0x00RRGGBB <-> 0x00BBGGRR.
constexpr uint32_t SwapRedBlue(uint32_t colour) {
  return (colour & 0xFF00FF00u) | ((colour & 0xFF) << 16) | ((colour >> 16) & 0xFF);
}

// Called after each character drawn with a delay; may throw to stop the text.
using CharCallback = void (*)(intptr_t argument);

// The text-output interface of the message view.
class DxMessBase {
 public:
  // Fills the whole text surface with the colour, all transparent.
  virtual void Clear(uint32_t colour) = 0;
  virtual void SetTextOrigin(int x, int y) = 0;
  virtual void GetTextOrigin(DxDraw::POINT* out) = 0;
  // The cell of one full-width character: (font height + character spacing,
  // font height + line spacing).
  virtual void GetPenEnd(DxDraw::POINT* out) = 0;
  virtual uint32_t GetTextColor() = 0;
  virtual uint32_t GetOutlineColor() = 0;
  virtual uint32_t GetShadowColor() = 0;
  virtual void SetTextColor(uint32_t colour) = 0;
  virtual void SetOutlineColor(uint32_t colour) = 0;
  virtual void SetShadowColor(uint32_t colour) = 0;
  // A new font of the face (null: the renderer's default face) and height.
  virtual void SetFont(int height, int lineSpacing, const char16_t* face) = 0;
  // The second word of the text record the renderer leaves alone (0).
  virtual uint32_t GetUserWord() = 0;
  virtual int GetWidth() = 0;
  virtual int GetHeight() = 0;
  virtual void Hide() = 0;
  virtual void Show() = 0;
  // Draws the commands with colour (0x00RRGGBB), per-character delay and
  // callback, the per-character wait on.
  virtual void DrawCommands(uint32_t ignored, uint32_t colour, uint32_t delay, const MESSCOMMAND* commands,
                            CharCallback callback, intptr_t argument) = 0;
  // ExpandMessageGlyphs into 1024 commands, then DrawCommands.
  virtual void DrawText(uint32_t ignored, uint32_t colour, uint32_t delay, const char16_t* text,
                        CharCallback callback, intptr_t argument);
  // Puts each command before the first code 0, with the state as it stands.
  virtual void PutCommands(uint32_t ignored, const MESSCOMMAND* commands) = 0;
  // Shows the click-wait icon and waits, frame by frame, for its end; returns
  // the pressed word that ended it (0 when the watched voice ended first).
  virtual int WaitClick(int iconKind, int voiceChannel) = 0;
  virtual void SetEffectFlags(uint32_t flags) = 0;
  virtual uint32_t GetEffectFlags() = 0;
  // The click-wait icon task, unlinked: its owner runs it until its state is -1
  // and deletes it.
  virtual ACT* StartClickWaitIcon(int iconKind, int voiceChannel) = 0;

 protected:
  virtual ~DxMessBase() = default;
};

class DxMessView2 : public DxMessBase, public DxDraw::DxSurfaceSprite32 {
 public:
  // A transparent width x height view at (0, 0), bold and shadow on, drawn by
  // source transparency, without a font (SetFont before drawing).
  DxMessView2(int width, int height);

  void Clear(uint32_t colour) override;
  void SetTextOrigin(int x, int y) override;
  void GetTextOrigin(DxDraw::POINT* out) override;
  void GetPenEnd(DxDraw::POINT* out) override;
  uint32_t GetTextColor() override { return m_Text.color; }
  uint32_t GetOutlineColor() override { return m_Text.outline_color; }
  uint32_t GetShadowColor() override { return m_Text.shadow_color; }
  void SetTextColor(uint32_t colour) override { m_Text.color = colour; }
  void SetOutlineColor(uint32_t colour) override { m_Text.outline_color = colour; }
  void SetShadowColor(uint32_t colour) override { m_Text.shadow_color = colour; }
  void SetFont(int height, int lineSpacing, const char16_t* face) override;
  uint32_t GetUserWord() override { return m_Text.user[1]; }
  int GetWidth() override { return DxSurface32::GetWidth(); }
  int GetHeight() override { return std::abs(DxSurface32::GetHeight()); }
  void Hide() override { ssView::Hide(); }
  void Show() override { ssView::Show(); }
  void DrawCommands(uint32_t ignored, uint32_t colour, uint32_t delay, const MESSCOMMAND* commands,
                    CharCallback callback, intptr_t argument) override;
  void PutCommands(uint32_t ignored, const MESSCOMMAND* commands) override;
  int WaitClick(int iconKind, int voiceChannel) override;
  void SetEffectFlags(uint32_t flags) override { m_Text.flags = flags; }
  uint32_t GetEffectFlags() override { return m_Text.flags; }
  ACT* StartClickWaitIcon(int iconKind, int voiceChannel) override;

  // One command with the state as it stands.
  void PutCommand(const MESSCOMMAND& command);
  // Moves the pen to the start of the next line, leaving colour, delay and
  // callback as they are: the blank line before a message without a speaker.
  void LineFeed();

  // The per-character state that PutCommands draws with; DrawCommands sets all four.
  void SetCharDelay(uint32_t ms) { m_Delay = ms; }
  uint32_t GetCharDelay() const { return m_Delay; }
  void SetCharWait(bool on) { m_Wait = on; }
  void SetCharCallback(CharCallback callback, intptr_t argument) {
    m_Callback = callback;
    m_CallbackArgument = argument;
  }
  // How long a held skip button keeps the click-wait icon up, in ms (0: the
  // skip buttons do not end the wait). Set by the game layer.
  void SetAutoWait(uint32_t ms) { m_AutoWait = ms; }
  uint32_t GetAutoWait() const { return m_AutoWait; }
  DxDraw::TEXTDATA& GetTextData() { return m_Text; }
  DxDraw::DxFont* GetFont() const { return m_Text.pFont; }

 protected:
  ~DxMessView2() override;

 private:
  CharCallback m_Callback = nullptr;
  intptr_t m_CallbackArgument = 0;
  uint32_t m_Delay = 0;      // per-character delay, ms
  bool m_Wait = false;       // per-character wait on
  uint32_t m_AutoWait = 0;
  DxDraw::TEXTDATA m_Text;   // area = the whole surface; pFont owned (one reference)
  char16_t m_PendingHigh = 0;  // a high surrogate waiting for its low half
};

// The picture sheet the window frame, buttons and icons come from ("SYSTEM"):
// the one set here, else the one the program loaded at start-up. The setter
// takes over the caller's reference and releases the one it held.
DxDraw::DxSurface* GetSystemPicture();
void SetSystemPicture(DxDraw::DxSurface* picture);

// How the click-wait icon watches the voice channel: the sound engine's
// channels unless a test installs its own; an empty watch restores them.
struct VoiceWatch {
  bool (*isPlaying)(int channel) = nullptr;  // the channel's stream is playing
  void (*stop)(int channel) = nullptr;       // stops the channel's stream
};
void SetVoiceWatch(const VoiceWatch& watch);

// The icon frames of a kind (0 or 1): four 16 x 16 cells of the SYSTEM sheet.
std::span<const DxDraw::SPRITEFRAME, 4> ClickWaitIconFrames(int kind);

}  // namespace TextScript
