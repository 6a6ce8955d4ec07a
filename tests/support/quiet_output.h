// Silences debugger lines and answers message boxes without echo while alive,
// keeping the boxes shown, for tests of code that reports failures both ways.
#pragma once

#include <string_view>
#include <vector>

#include "platform/debug_output.h"
#include "platform/message_box.h"

class QuietDebugOutput {
 public:
  QuietDebugOutput() {
    previous_ = platform::SetDebugSink([](std::u16string_view) {});
    boxes_.SetEcho(false);
    previousBoxes_ = platform::SetMessageBoxService(&boxes_);
  }
  ~QuietDebugOutput() {
    platform::SetDebugSink(previous_);
    platform::SetMessageBoxService(previousBoxes_);
  }
  QuietDebugOutput(const QuietDebugOutput&) = delete;
  QuietDebugOutput& operator=(const QuietDebugOutput&) = delete;
  std::vector<platform::HeadlessMessageBox::Shown> boxes() const { return boxes_.shown(); }

 private:
  platform::DebugSink previous_;
  platform::HeadlessMessageBox boxes_;
  platform::IMessageBox* previousBoxes_;
};
