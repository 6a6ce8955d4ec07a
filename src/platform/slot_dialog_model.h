// The slot dialog as a window system sees it: a model that holds everything the
// window shows and takes every event the window produces, and the host that runs
// a model modally. The model (the save data's controller) is plain code; a host
// only shows it, so the dialog's logic is tested without a display.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/message_box.h"

namespace platform {

class ISlotDialogModel {
 public:
  static constexpr int kPreviewWidth = 140;
  static constexpr int kPreviewHeight = 105;

  virtual ~ISlotDialogModel() = default;

  // What the window shows. The host reads it again after every event.
  virtual std::u16string Title() const = 0;                 // window caption
  virtual std::u16string OkText() const = 0;                // text of the OK button, no mnemonic
  virtual bool HasApplyButton() const = 0;                  // the comment button "修正" exists
  virtual const std::vector<std::u16string>& Lines() const = 0;  // one line a slot
  virtual int Selection() const = 0;                        // selected line, -1 none
  virtual const std::u16string& Comment() const = 0;        // text of the comment box
  virtual bool OkEnabled() const = 0;
  virtual bool ApplyEnabled() const = 0;
  virtual bool DeleteEnabled() const = 0;
  // kPreviewWidth x kPreviewHeight pixels 0x00RRGGBB, top row first.
  virtual const std::vector<uint32_t>& Preview() const = 0;
  // True once after an event that gives the focus back to the list.
  virtual bool TakeListFocusRequest() = 0;
  // The dialog is over: the host closes the window.
  virtual bool Finished() const = 0;

  // Events.
  virtual void Select(int line) = 0;
  virtual void DoubleClick(int line) = 0;
  // The comment box's new text; the model may cut it (see Comment()).
  virtual void EditComment(std::u16string text) = 0;
  virtual void CommentFocus(bool focused) = 0;
  virtual void Ok() = 0;
  virtual void Apply() = 0;
  virtual void Delete() = 0;
  virtual void Cancel() = 0;
};

// Runs a model modally over `owner` until it is finished. The headless host
// cancels at once.
class ISlotDialogHost {
 public:
  virtual ~ISlotDialogHost() = default;
  virtual void Run(WindowHandle owner, ISlotDialogModel& model) = 0;
};

class HeadlessSlotDialogHost : public ISlotDialogHost {
 public:
  void Run(WindowHandle, ISlotDialogModel& model) override { model.Cancel(); }
};

}  // namespace platform
