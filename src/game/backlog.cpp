// The backlog screen: its line table, scrolling, faces and voice replay.
#include "game/backlog.h"

#include <algorithm>
#include <string>

#include "app/frame.h"
#include "app/input.h"
#include "app/probe.h"
#include "app/settings.h"
#include "archive/archive.h"
#include "dxdraw/dxsurface.h"
#include "dxdraw/dxview.h"
#include "dxdraw/pixel.h"
#include "dxdraw/text.h"
#include "game/config.h"
#include "game/game_env.h"
#include "game/game_sound.h"
#include "game/game_state.h"
#include "game/holders.h"
#include "game/screen_parts.h"
#include "game/stage.h"
#include "message/messview.h"
#include "platform/text.h"
#include "sound/sound.h"

namespace Game {
namespace {

constexpr int kFaceSize = 48;
constexpr int kFaceX = 24;
constexpr int kTextX = 124;
constexpr int kTrackX = 688, kTrackY = 16;
constexpr int kThumbX = 692;
constexpr int kThumbTop = 36, kThumbBottom = 532, kThumbTravel = kThumbBottom - kThumbTop;
constexpr int kThumbWidth = 24, kThumbHeight = 32;
constexpr DxDraw::RECT kUpArrow{688, 16, 720, 36};
constexpr DxDraw::RECT kDownArrow{688, 564, 720, 584};
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kReplayBlocked = App::kButtonRightClick | App::kButtonCtrlMask;
constexpr uint32_t kLeave = App::kButtonRightClick | App::kButtonEscape;

bool Inside(const DxDraw::RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

std::size_t UnitsOfCharacter(std::u16string_view text, std::size_t i) {
  const char16_t c = text[i];
  return (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) ? 2 : 1;
}

void SetBacklogFont(TextScript::DxMessView2* view) {
  view->SetFont(kBacklogLineHeight, 0, App::Settings().game.font_name);
}

}  // namespace

BacklogLayout LayOutBacklog(const BacklogList& list, const CharWidth& width) {
  BacklogLayout layout;
  for (std::size_t e = 0; e < list.Size(); ++e) {
    const BacklogEntry& entry = list[e];
    if (!entry.voice.empty()) layout.voices.push_back(BacklogVoice{e, static_cast<int>(layout.lines.size())});
    const std::u16string_view text = entry.text;
    std::size_t start = 0, chars = 0;
    int pixels = 0;
    auto cutAt = [&](std::size_t i) {
      layout.lines.push_back(BacklogLine{e, start, i - start});
      start = i;
      chars = 0;
      pixels = 0;
    };
    for (std::size_t i = 0;;) {
      // A full line is cut before whatever comes next, the end of the text and a
      // line feed included: those then stand on a line of their own.
      if (chars == kBacklogLineChars) cutAt(i);
      if (i == text.size()) break;
      if (text[i] == u'\n') {
        cutAt(i);
        start = ++i;
        continue;
      }
      const std::size_t units = UnitsOfCharacter(text, i);
      const int w = width ? width(text.substr(i, units)) : 0;
      if (chars > 0 && pixels + w > kBacklogViewWidth) cutAt(i);
      pixels += w;
      ++chars;
      i += units;
    }
    layout.lines.push_back(BacklogLine{e, start, text.size() - start});
    layout.lines.push_back(BacklogLine{e, text.size(), 0});
  }
  return layout;
}

// The multiplication comes first: a top line divided by the maximum first is
// always 0 or 1 in integers, which pinned the thumb to the ends.
int BacklogThumbY(int top, int maxTop) { return maxTop > 0 ? top * kThumbTravel / maxTop + kThumbTop : kThumbBottom; }
int BacklogTopAt(int thumbY, int maxTop) { return (thumbY - kThumbTop) * maxTop / kThumbTravel; }

void ReplayBacklogVoice(std::u16string_view voice) {
  StopSound(GetChannelPlayId(kChannelVoice));
  if (App::Settings().game.enable_voice == 0 || SkipMode != 0) return;
  if ((App::Input().held & kReplayBlocked) != 0) return;
  SetChannelName(kChannelVoice, voice);
  std::u16string path = u"voice/";
  path += voice;
  PlayOggStream(SoundArchive, path, kChannelVoice, 0, 4096, VolumeToAttenuation(VoiceLevel()), 0);
}

namespace {

// Everything the open screen holds; released on every way out.
class BacklogScreen {
 public:
  BacklogScreen() : m_Faces(LoadBacklogFaces()) {
    m_FaceSheet = LoadScreenPicture(u"title/backlogface");
    m_Backdrop.reset(new DxDraw::DxSurfaceSprite32(kStageWidth, kStageHeight));
    m_Backdrop->FillRect(nullptr, 0, 255);
    m_Backdrop->m_Param.Flags = DxDraw::BLT_FADE;
    m_Backdrop->m_Param.Level = 192;
    m_Backdrop->SetChanged(DxDraw::kChangedShown);
    m_Text.reset(new TextScript::DxMessView2(kBacklogViewWidth, kStageHeight));
    m_Text->SetPosition(kTextX, 0);
    SetBacklogFont(m_Text.get());
    m_Text->m_Param.Flags = DxDraw::BLT_WEIGHTED;
    m_Text->SetEffectFlags(DxDraw::TEXT_LARGE | DxDraw::TEXT_PROPORTIONAL);
    const DxDraw::SPRITEFRAME track{32, 568, 0, 0, {0, 240, 32, 808}, 0};
    m_Track.reset(new DxDraw::DxSprite(TextScript::GetSystemPicture(), &track, DxDraw::BLT_WEIGHTED));
    m_Track->SetPosition(kTrackX, kTrackY);
    AppendToScreen(m_Backdrop.get());
    AppendToScreen(m_Text.get());
    AppendToScreen(m_Track.get());
    LayOut();
    const int count = static_cast<int>(m_Layout.lines.size());
    if (count > kBacklogVisibleLines) {
      m_MaxTop = count - kBacklogVisibleLines;
      m_Top = m_MaxTop;
      const DxDraw::SPRITEFRAME thumb{kThumbWidth, kThumbHeight, 0, 0, {32, 240, 56, 272}, 0};
      m_Thumb.reset(new DxDraw::DxSprite(TextScript::GetSystemPicture(), &thumb, DxDraw::BLT_WEIGHTED));
      MoveThumb(kThumbBottom);
      AppendToScreen(m_Thumb.get());
    }
  }

  ~BacklogScreen() {
    m_Thumb.reset();
    m_Track.reset();
    m_Text.reset();
    m_Backdrop.reset();
    StopChannel(kChannelVoice);
    if (m_FontChanged) SettingsChanged |= kFontChanged;  // the message window takes the new font too
  }

  BacklogScreen(const BacklogScreen&) = delete;
  BacklogScreen& operator=(const BacklogScreen&) = delete;

  void Run() {
    const App::InputState& in = App::Input();
    bool redraw = true;
    for (;;) {
      App::WaitNextFrame();
      if ((SettingsChanged & kFontChanged) != 0) {
        SetBacklogFont(m_Text.get());
        SettingsChanged &= ~kFontChanged;
        LayOut();  // the new font cuts its lines at other places
        m_MaxTop = std::max(0, static_cast<int>(m_Layout.lines.size()) - kBacklogVisibleLines);
        m_Top = std::min(m_Top, m_MaxTop);
        if (m_Thumb) MoveThumb(BacklogThumbY(m_Top, m_MaxTop));
        redraw = true;
        m_FontChanged = true;
      }
      const int x = in.cursor_x, y = in.cursor_y;
      if (redraw) {
        Redraw();
        redraw = false;
      }
      if (m_Dragging) {
        const int top = std::clamp(y - m_Grab, kThumbTop, kThumbBottom);
        const int line = BacklogTopAt(top, m_MaxTop);
        if (line != m_Top) {
          m_Top = line;
          redraw = true;
        }
        MoveThumb(top);
        if ((in.held & App::kButtonClick) == 0) m_Dragging = false;
        continue;
      }
      const bool leftRepeat = (in.repeat & App::kButtonClick) != 0;
      if (m_Thumb && leftRepeat && Inside(m_ThumbRect, x, y)) {
        m_Dragging = true;
        m_Grab = y - m_ThumbRect.top;
        continue;
      }
      if ((in.pressed & App::kButtonClick) != 0) ClickFace(x, y);
      const bool up = (in.repeat & App::kButtonUp) != 0 || (leftRepeat && Inside(kUpArrow, x, y)) || in.wheel > 0;
      const bool down = (in.repeat & App::kButtonDown) != 0 || (leftRepeat && Inside(kDownArrow, x, y)) || in.wheel < 0;
      if (up && m_Top > 0) {
        --m_Top;
        redraw = true;
        MoveThumb(BacklogThumbY(m_Top, m_MaxTop));
      }
      if (down && m_Top + kBacklogVisibleLines < static_cast<int>(m_Layout.lines.size())) {
        ++m_Top;
        redraw = true;
        MoveThumb(BacklogThumbY(m_Top, m_MaxTop));
      }
      if ((in.pressed & kLeave) != 0) return;
    }
  }

 private:
  void LayOut() {
    const DxDraw::TEXTDATA& data = m_Text->GetTextData();
    m_Layout = LayOutBacklog(Backlog(), [&data](std::u16string_view c) {
      return data.pFont != nullptr ? DxDraw::GetStringWidth(&data, c) : kBacklogLineHeight;
    });
  }

  void MoveThumb(int top) {
    if (!m_Thumb) return;
    m_Thumb->SetPosition(kThumbX, top);
    m_ThumbRect = DxDraw::RECT{kThumbX, top, kThumbX + kThumbWidth, top + kThumbHeight};
  }

  // A face two lines high shows, and answers a click, only while all of it is
  // on screen: one beside the last line would hang half below the bottom.
  bool FaceOnScreen(int line) const {
    return line >= m_Top && (line - m_Top) * kBacklogLineHeight + kFaceSize <= kStageHeight;
  }

  void Redraw() {
    m_Text->Clear(0);
    m_Backdrop->FillRect(nullptr, 0, 255);
    const int end = std::min(static_cast<int>(m_Layout.lines.size()), m_Top + kBacklogVisibleLines);
    for (int i = m_Top; i < end; ++i) {
      const BacklogLine& line = m_Layout.lines[static_cast<std::size_t>(i)];
      if (line.length == 0) continue;
      const std::u16string_view text = std::u16string_view(Backlog()[line.entry].text).substr(line.start, line.length);
      TextScript::MessCommandArray commands(text.size() + 1);
      TextScript::CopyMessageGlyphs(std::span(commands.data(), commands.size()), text);
      m_Text->SetTextOrigin(0, (i - m_Top) * kBacklogLineHeight);
      m_Text->DrawCommands(0, kWhite, 0, commands.data(), nullptr, 0);
    }
    DxDraw::BLTPARAM param;
    param.Flags = DxDraw::BLT_WEIGHTED;
    for (const BacklogVoice& voice : m_Layout.voices) {
      if (!FaceOnScreen(voice.firstLine)) continue;
      const std::u16string& name = Backlog()[voice.entry].voice;
      auto face = std::find_if(m_Faces.begin(), m_Faces.end(), [&](const BacklogFace& f) { return f.key == name[0]; });
      if (face == m_Faces.end()) {
        App::AssertBox(platform::Utf16ToCp932(u"ボイス番号が規定外です").c_str(), "script/scr_gui", __LINE__, "BackLog");
        continue;
      }
      const int left = kFaceSize * face->number;
      const DxDraw::SPRITEFRAME cell{kFaceSize, kFaceSize, 0, 0, {left, 0, left + kFaceSize, kFaceSize}, 0};
      m_Backdrop->BltFrame(kFaceX, (voice.firstLine - m_Top) * kBacklogLineHeight, m_FaceSheet.get(), &cell,
                           nullptr, &param);
      m_Backdrop->SetChanged(DxDraw::kChangedShown);
    }
    m_Backdrop->SetChanged(DxDraw::kChangedShown);
    m_Text->SetChanged(DxDraw::kChangedShown);
  }

  void ClickFace(int x, int y) {
    for (const BacklogVoice& voice : m_Layout.voices) {
      if (!FaceOnScreen(voice.firstLine)) continue;
      const int top = (voice.firstLine - m_Top) * kBacklogLineHeight;
      if (Inside(DxDraw::RECT{kFaceX, top, kFaceX + kFaceSize, top + kFaceSize}, x, y)) {
        ReplayBacklogVoice(Backlog()[voice.entry].voice);
        return;
      }
    }
    StopChannel(kChannelVoice);
  }

  std::vector<BacklogFace> m_Faces;
  SurfaceHolder m_FaceSheet;
  ViewHolder<DxDraw::DxSurfaceSprite32> m_Backdrop;
  ViewHolder<TextScript::DxMessView2> m_Text;
  ViewHolder<DxDraw::DxSprite> m_Track;
  ViewHolder<DxDraw::DxSprite> m_Thumb;
  BacklogLayout m_Layout;
  DxDraw::RECT m_ThumbRect{};
  int m_Top = 0;
  int m_MaxTop = 0;
  bool m_Dragging = false;
  int m_Grab = 0;
  bool m_FontChanged = false;
};

}  // namespace

void ShowBacklogScreen() {
  {
    BacklogScreen screen;
    screen.Run();
  }
  App::WaitNextFrame();
}

}  // namespace Game
