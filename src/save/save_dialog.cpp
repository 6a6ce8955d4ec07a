#include "save/save_dialog.h"

#include "platform/text.h"
#include "platform/wformat.h"
#include "save/save_data.h"
#include "save/save_database.h"

namespace Save {

namespace {

constexpr uint32_t kPreviewGrey = 0x808080;

platform::ISlotDialogHost* g_Host = nullptr;

platform::ISlotDialogHost& Host() {
  static platform::HeadlessSlotDialogHost headless;
  return g_Host != nullptr ? *g_Host : headless;
}

std::string CommentBytes(std::u16string_view text) {
  return CutCp932(platform::Utf16ToCp932(text), kCommentEditBytes);
}

}  // namespace

std::u16string SlotLine(int index, bool lastSaved, const SlotSummary* summary, std::u16string_view note) {
  const char16_t mark = lastSaved ? u'>' : u' ';
  if (!note.empty())
    return platform::FormatString(u"%c%02d ----/--/-- --:--:-- ", mark, index + 1) + std::u16string(note);
  if (summary == nullptr)
    return platform::FormatString(u"%c%02d ----/--/-- --:--:-- --------------------------------", mark, index + 1);
  const SlotTime& t = summary->time;
  return platform::FormatString(u"%c%02d %04d/%02d/%02d %02d:%02d:%02d %-30hs ", mark, index + 1, t.year, t.month,
                                t.day, t.hour, t.minute, t.second, summary->comment.c_str());
}

SlotDialogController::SlotDialogController(Mode mode, int firstSlot, Services services)
    : m_Mode(mode),
      m_Services(std::move(services)),
      m_LastSaved(GetCommonData().lastSavedSlot),
      m_Preview(size_t{kPreviewWidth} * kPreviewHeight, kPreviewGrey) {
  if (!m_Services.ask) {
    m_Services.ask = [](std::u16string_view text, std::u16string_view caption) {
      return platform::ShowMessageBox(nullptr, text, caption, platform::MB_YESNO | platform::MB_ICONQUESTION) ==
             platform::IDYES;
    };
  }
  if (!m_Services.report) m_Services.report = ReportSaveFailure;
  if (!m_Services.refuse) m_Services.refuse = ShowDamagedSlot;
  FillSlotList();
  m_Selection = firstSlot >= 0 && firstSlot < kSlotCount ? firstSlot : -1;
  ShowSelection();
  m_ListFocusRequest = true;
}

template <class F>
bool SlotDialogController::Guarded(std::u16string_view what, F action) {
  try {
    action();
    return true;
  } catch (const ExceptionHandle& error) {
    if (error.Type == kErrorTypeQuit) throw;
    m_Services.report(what, error);
    return false;
  }
}

std::u16string SlotDialogController::Title() const { return m_Mode == kLoadMode ? u"ロード" : u"セーブ"; }

std::u16string SlotDialogController::OkText() const { return m_Mode == kSaveMode ? u"セーブ" : u"OK"; }

void SlotDialogController::FillSlotList() {
  m_Lines.assign(kSlotCount, std::u16string());
  m_Damaged.assign(kSlotCount, false);
  for (int i = 0; i < kSlotCount; ++i) m_Lines[i] = SlotLine(i, i == m_LastSaved, nullptr);
  m_ListUnread = !Guarded(u"セーブデータの一覧を読み込めません。", [&] {
    // One level for the whole list: the file is opened once.
    SaveDbLevel level;
    for (int i = 0; i < kSlotCount; ++i) {
      if (!SlotExists(i + 1)) continue;
      // A file that can't be read leaves the whole list unread; only a header
      // that doesn't decode marks its slot.
      const std::vector<uint8_t> header = CSaveDatabase::Instance().ReadHeader(i + 1);
      try {
        const SlotSummary summary = DecodeSlotHeader(header).summary;
        m_Lines[i] = SlotLine(i, i == m_LastSaved, &summary);
      } catch (const ExceptionHandle&) {
        // A header of another size, or a damaged scene: the slot is there but can't be loaded.
        m_Damaged[i] = true;
        m_Lines[i] = SlotLine(i, i == m_LastSaved, nullptr, u"破損");
      }
    }
    level.Close();
  });
  if (m_ListUnread) {
    // Not one slot is known to be empty: none is shown as such.
    for (int i = 0; i < kSlotCount; ++i) m_Lines[i] = SlotLine(i, i == m_LastSaved, nullptr, u"読み込めません");
  }
}

bool SlotDialogController::SelectedSlotExists() {
  bool exists = false;
  if (m_Selection >= 0 && !m_ListUnread) {
    Guarded(u"セーブデータを読み込めません。", [&] { exists = SlotExists(m_Selection + 1); });
  }
  return exists;
}

void SlotDialogController::ShowSelection() {
  const bool exists = SelectedSlotExists();
  m_Comment.clear();
  m_Preview.assign(m_Preview.size(), kPreviewGrey);
  m_SlotButtonsEnabled = !m_ListUnread && (m_Mode == kSaveMode || exists);
  if (!exists || SelectedSlotDamaged()) return;
  Guarded(u"セーブデータを読み込めません。", [&] {
    m_Comment = platform::Cp932ToUtf16(ReadSlotSummary(m_Selection + 1).comment);
    std::vector<uint32_t> thumb = ReadSlotThumbnail(m_Selection + 1);
    if (thumb.size() == m_Preview.size()) m_Preview = std::move(thumb);
  });
}

void SlotDialogController::Select(int line) {
  m_Selection = line >= 0 && line < kSlotCount ? line : -1;
  ShowSelection();
}

void SlotDialogController::DoubleClick(int line) {
  if (m_Mode != kLoadMode) return;
  Select(line);
  if (SelectedSlotExists()) FinishLoad();
}

void SlotDialogController::FinishLoad() {
  bool whole = !SelectedSlotDamaged();
  // The whole slot is read now, while the running game can still go on.
  if (whole && !Guarded(u"ロードできませんでした。", [&] { whole = SlotLoadable(m_Selection + 1); })) return;
  if (!whole) {
    m_Services.refuse(m_Selection);
    return;
  }
  Finish(m_Selection);
}

void SlotDialogController::EditComment(std::u16string text) {
  m_Comment = platform::Cp932ToUtf16(CommentBytes(text));
}

void SlotDialogController::Ok() {
  if (m_Mode == kLoadMode) {
    if (m_CommentFocus) {
      Apply();
      m_ListFocusRequest = true;
      m_CommentFocus = false;
    } else if (SelectedSlotExists()) {
      FinishLoad();
    }
    return;
  }
  if (m_Selection < 0 || m_ListUnread) return;
  const int number = m_Selection + 1;
  if (SelectedSlotExists() &&
      !m_Services.ask(platform::FormatString(u"%d番のデータに上書きしてもよろしいですか？", number), u"上書き"))
    return;
  const bool saved = Guarded(u"セーブできませんでした。", [&] {
    if (m_Services.save) m_Services.save(number, platform::Cp932ToUtf16(CommentBytes(m_Comment)));
  });
  if (saved) {
    Finish(m_Selection);
  } else {
    // The list shows what the file holds after the failed save; the comment
    // typed stays for another try.
    const std::u16string typed = m_Comment;
    FillSlotList();
    ShowSelection();
    m_Comment = typed;
  }
}

void SlotDialogController::Apply() {
  if (m_Selection < 0 || m_ListUnread) return;
  const int selection = m_Selection;
  Guarded(u"コメントを変更できませんでした。", [&] { SetSlotComment(selection + 1, CommentBytes(m_Comment)); });
  FillSlotList();
  Select(selection);
}

void SlotDialogController::Delete() {
  if (!SelectedSlotExists()) return;
  const int number = m_Selection + 1;
  if (!m_Services.ask(platform::FormatString(u"%d番のデータを削除してもよろしいですか？", number), u"削除"))
    return;
  Guarded(u"削除できませんでした。", [&] { DeleteSlot(number); });
  FillSlotList();
  Select(-1);
}

void SlotDialogController::Finish(int result) {
  m_Result = result;
  m_Finished = true;
}

int ShowSaveLoadDialog(int mode, platform::WindowHandle owner, SlotDialogController::Services services) {
  SlotDialogController controller(mode == SlotDialogController::kLoadMode ? SlotDialogController::kLoadMode
                                                                          : SlotDialogController::kSaveMode,
                                  GetCommonData().lastSavedSlot, std::move(services));
  Host().Run(owner, controller);
  const int result = controller.Finished() ? controller.Result() : -1;
  if (mode == SlotDialogController::kSaveMode && result != -1) GetCommonData().lastSavedSlot = result;
  return result;
}

platform::ISlotDialogHost* SetSlotDialogHost(platform::ISlotDialogHost* host) { return std::exchange(g_Host, host); }

}  // namespace Save
