#include "platform/event_source.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/clock.h"
#include "platform/service.h"

namespace platform {

void IEventSource::WaitForEvent(uint32_t timeout_ms) {
  (void)timeout_ms;
  Clock().SleepMs(1);
}

void HeadlessEventSource::BeginFrame() {
  ++frames_;
  if (steps_.empty()) return;
  Step step = std::move(steps_.front());
  steps_.pop_front();
  if (step) step(*this);
}

bool HeadlessEventSource::PeekEvent(WindowEvent& out) {
  if (messages_.empty()) return false;
  Pending pending = std::move(messages_.front());
  messages_.pop_front();
  if (pending.before) pending.before();
  out = pending.event;
  return true;
}

bool HeadlessEventSource::ReadKeyboard(std::span<uint8_t, kKeyboardKeys> keys) {
  if (!keyboard_readable_) return false;
  std::memcpy(keys.data(), keys_, kKeyboardKeys);
  return true;
}

bool HeadlessEventSource::ReadMouse(MouseState& out) {
  if (!mouse_readable_) return false;
  out = mouse_;
  return true;
}

void HeadlessEventSource::AddFrame(Step step) { steps_.push_back(std::move(step)); }

void HeadlessEventSource::AddIdleFrames(int count) {
  for (int i = 0; i < count; ++i) steps_.push_back(Step{});
}

void HeadlessEventSource::PostMessage(const WindowEvent& event, std::function<void()> before) {
  messages_.push_back(Pending{event, std::move(before)});
}

void HeadlessEventSource::PostCommand(uint32_t id) {
  WindowEvent event;
  event.message = WindowMessage::kCommand;
  event.value = id;
  PostMessage(event);
}

void HeadlessEventSource::PostCharacter(char16_t ch, uint32_t data) {
  WindowEvent event;
  event.message = WindowMessage::kCharacter;
  event.value = ch;
  event.data = data;
  PostMessage(event);
}

void HeadlessEventSource::PostActivate(bool active, std::function<void()> before) {
  WindowEvent event;
  event.message = WindowMessage::kActivate;
  event.value = active ? 1 : 0;
  PostMessage(event, std::move(before));
}

void HeadlessEventSource::PostClose() {
  WindowEvent event;
  event.message = WindowMessage::kClose;
  PostMessage(event);
}

void HeadlessEventSource::SetKey(int key, bool down) {
  if (key < 0 || key >= kKeyboardKeys) return;
  keys_[key] = down ? 0x80 : 0;
}

void HeadlessEventSource::SetMouseButton(int button, bool down) {
  if (button < 0 || button >= 4) return;
  mouse_.buttons[button] = down ? 0x80 : 0;
}

void HeadlessEventSource::SetMouseMotion(int32_t dx, int32_t dy, int32_t wheel) {
  mouse_.dx = dx;
  mouse_.dy = dy;
  mouse_.wheel = wheel;
}

void HeadlessEventSource::ReleaseAll() {
  std::fill(std::begin(keys_), std::end(keys_), uint8_t{0});
  std::fill(std::begin(mouse_.buttons), std::end(mouse_.buttons), uint8_t{0});
}

namespace {

ServiceSlot<IEventSource, HeadlessEventSource> g_source;

}  // namespace

IEventSource& EventSource() { return g_source.Get(); }

IEventSource* SetEventSource(IEventSource* source) { return g_source.Install(source); }

}  // namespace platform
