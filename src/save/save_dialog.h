// The save/load slot dialog without a toolkit: the 99 slot lines with their time
// and comment, the mark on the slot saved last, the 140 x 105 preview, comment
// editing, deleting, the overwrite question, and the save itself (save mode).
// A host (platform/slot_dialog_model.h) shows it; ShowSaveLoadDialog runs it.
//
// Failures of the save file inside the dialog are reported with the save
// data's one box (what, path, reason) and the dialog stays open; nothing of a
// failed operation is kept (save_database.h). A list that can't be read says so
// on every line and offers no slot at all, so nothing is saved over slots that
// may hold saves. A stored slot whose header can't be read is listed as
// damaged; loading a slot that doesn't read whole is refused with a message.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/exception.h"
#include "platform/slot_dialog_model.h"
#include "save/save_blobs.h"

namespace Save {

inline constexpr int kSlotCount = 99;
inline constexpr size_t kCommentEditBytes = 32;  // CP932 bytes the comment box takes

class SlotDialogController : public platform::ISlotDialogModel {
 public:
  enum Mode : int { kSaveMode = 0, kLoadMode = 1 };

  // Left empty, `ask` uses the message box service, `report` ReportSaveFailure
  // and `refuse` ShowDamagedSlot.
  struct Services {
    // A Yes/No question; true for Yes.
    std::function<bool(std::u16string_view text, std::u16string_view caption)> ask;
    // Stores the running game in entry `number` (save mode).
    std::function<void(int number, std::u16string_view comment)> save;
    // Shows a failure of the save file: what could not be done and the record.
    std::function<void(std::u16string_view what, const ExceptionHandle& error)> report;
    // Refuses to load slot index `slot`: its data doesn't read whole.
    std::function<void(int slot)> refuse;
  };

  // Fills the list and selects `firstSlot` (-1: nothing).
  SlotDialogController(Mode mode, int firstSlot, Services services);
  SlotDialogController(const SlotDialogController&) = delete;
  SlotDialogController& operator=(const SlotDialogController&) = delete;

  // The chosen slot index once finished; -1 for cancel.
  int Result() const { return m_Result; }

  std::u16string Title() const override;
  std::u16string OkText() const override;
  bool HasApplyButton() const override { return m_Mode == kLoadMode; }
  const std::vector<std::u16string>& Lines() const override { return m_Lines; }
  int Selection() const override { return m_Selection; }
  const std::u16string& Comment() const override { return m_Comment; }
  bool OkEnabled() const override { return m_SlotButtonsEnabled; }
  bool ApplyEnabled() const override { return m_SlotButtonsEnabled; }
  bool DeleteEnabled() const override { return m_SlotButtonsEnabled; }
  const std::vector<uint32_t>& Preview() const override { return m_Preview; }
  bool TakeListFocusRequest() override { return std::exchange(m_ListFocusRequest, false); }
  bool Finished() const override { return m_Finished; }

  void Select(int line) override;
  void DoubleClick(int line) override;
  // Keeps at most 32 CP932 bytes, cut at a character boundary.
  void EditComment(std::u16string text) override;
  void CommentFocus(bool focused) override { m_CommentFocus = focused; }
  void Ok() override;
  void Apply() override;
  void Delete() override;
  void Cancel() override { Finish(-1); }

 private:
  void FillSlotList();
  // What a change of selection shows: comment, buttons (load mode) and preview.
  void ShowSelection();
  bool SelectedSlotExists();
  bool SelectedSlotDamaged() const { return m_Selection >= 0 && m_Damaged[m_Selection]; }
  // Load mode: the chosen slot, unless it is damaged (then the player is told
  // and the dialog stays).
  void FinishLoad();
  void Finish(int result);
  // Runs `action`; a failure is reported as `what` and the dialog goes on.
  // False after a failure.
  template <class F>
  bool Guarded(std::u16string_view what, F action);

  Mode m_Mode;
  Services m_Services;
  int m_LastSaved;                       // slot index marked with '>'
  std::vector<std::u16string> m_Lines;
  std::vector<bool> m_Damaged;           // stored slots whose header can't be read
  bool m_ListUnread = false;             // the list could not be read: no slot is offered

  int m_Selection = -1;
  std::u16string m_Comment;
  bool m_CommentFocus = false;           // load mode: Enter applies the comment
  bool m_SlotButtonsEnabled = true;      // OK, apply and delete (load mode follows the slot)
  bool m_ListFocusRequest = false;
  std::vector<uint32_t> m_Preview;
  bool m_Finished = false;
  int m_Result = -1;
};

// One line of the slot list: "%c%02d %04d/%02d/%02d %02d:%02d:%02d %-30hs " for a
// stored slot, the dashed line for an empty one (summary null), or the dashed
// time and `note` in place of the comment ("破損" for a damaged slot).
std::u16string SlotLine(int index, bool lastSaved, const SlotSummary* summary, std::u16string_view note = {});

// Runs the dialog through the installed host over `owner`: the slot index chosen,
// or -1. In save mode a chosen slot becomes the last saved slot of COMMON.
int ShowSaveLoadDialog(int mode, platform::WindowHandle owner, SlotDialogController::Services services);

// The host that shows the dialog (not owned); null restores the headless one.
// Returns the previous.
platform::ISlotDialogHost* SetSlotDialogHost(platform::ISlotDialogHost* host);

}  // namespace Save
