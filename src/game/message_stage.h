// The game's message window on the stage: made when a run builds the stage,
// tinted from the settings, opened by a message and closed by TOF, released
// with the stage.
#pragma once

#include <cstdint>

namespace TextScript {
class MessageWindow;
class DxMessView2;
}  // namespace TextScript

namespace Game {

// A pointer, named like its class TextScript::MessageWindow: the window of
// the running stage, or null.
extern TextScript::MessageWindow* MessageWindow;
TextScript::DxMessView2* MessageView();

inline constexpr int kWindowY = 400;
inline constexpr int kMessageFontHeight = 32;
inline constexpr int kMessageLineSpacing = 3;

// Makes the hidden window in the top layer of a built stage and tints it.
void BuildMessageWindow();
void ReleaseMessageWindow();
// Runs the window's open or close task to its end (nothing when already so).
void OpenMessageWindow();
void CloseMessageWindow();
// Closes the window within this call, whatever its style.
void CloseMessageWindowNow();
// The window's background: the SYSTEM sheet's panel tinted with the colour of
// the settings' BaseColor, at its fourth byte as the level.
void ApplyMessageWindowColor();
// A new font for the message text from the settings, keeping its cell size.
void RenewMessageFont();

}  // namespace Game
