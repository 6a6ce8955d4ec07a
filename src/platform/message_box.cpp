#include "platform/message_box.h"

#include <atomic>
#include <cstdio>

#include "platform/service.h"
#include "platform/text.h"

namespace platform {

int DefaultAnswer(uint32_t flags) {
  static constexpr int kFirst[] = {IDOK, IDOK, IDABORT, IDYES, IDYES, IDRETRY};
  static constexpr int kSecond[] = {IDOK, IDCANCEL, IDRETRY, IDNO, IDNO, IDCANCEL};
  static constexpr int kThird[] = {IDOK, IDCANCEL, IDIGNORE, IDCANCEL, IDNO, IDCANCEL};
  uint32_t set = flags & MB_TYPEMASK;
  if (set > MB_RETRYCANCEL) set = MB_OK;
  if (flags & MB_DEFBUTTON3) return kThird[set];
  if (flags & MB_DEFBUTTON2) return kSecond[set];
  return kFirst[set];
}

void WriteBoxToStderr(std::u16string_view caption, std::u16string_view text) {
  std::fprintf(stderr, "[%s] %s\n", Utf16ToUtf8(caption).c_str(), Utf16ToUtf8(text).c_str());
}

int HeadlessMessageBox::Show(WindowHandle, std::u16string_view text, std::u16string_view caption,
                             uint32_t flags) {
  std::lock_guard<std::mutex> lock(mutex_);
  shown_.push_back({std::u16string(text), std::u16string(caption), flags});
  if (echo_) WriteBoxToStderr(caption, text);
  return answer_ != 0 ? answer_ : DefaultAnswer(flags);
}

void HeadlessMessageBox::SetAnswer(int answer) {
  std::lock_guard<std::mutex> lock(mutex_);
  answer_ = answer;
}

void HeadlessMessageBox::SetEcho(bool echo) {
  std::lock_guard<std::mutex> lock(mutex_);
  echo_ = echo;
}

std::vector<HeadlessMessageBox::Shown> HeadlessMessageBox::shown() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return shown_;
}

namespace {

ServiceSlot<IMessageBox, HeadlessMessageBox> g_service;

}  // namespace

IMessageBox& MessageBoxService() { return g_service.Get(); }

IMessageBox* SetMessageBoxService(IMessageBox* service) { return g_service.Install(service); }

namespace {

std::atomic<ModalCancelCheck> g_modal_cancel{nullptr};

}  // namespace

ModalCancelCheck SetModalCancelCheck(ModalCancelCheck check) { return g_modal_cancel.exchange(check); }

bool ModalCancelRequested() {
  ModalCancelCheck check = g_modal_cancel.load();
  return check != nullptr && check();
}

}  // namespace platform
