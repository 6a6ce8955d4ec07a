#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "platform/event_source.h"
#include "backend/gtk/gtk_window.h"
#include "platform/main_window.h"
#include "platform/message_box.h"
#include "platform/presenter.h"
#include "platform/text.h"
#include "program/program.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double ProcessSeconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void BM_PresentFullFrameToWindow(benchmark::State& state) {
  auto shell = platform::GtkShell::Open(u"MESRIN", u"bench", 800, 600);
  if (!shell) {
    state.SkipWithError("no display");
    return;
  }
  shell->Show();
  std::vector<uint8_t> pixels(800 * 600 * 4, 0x80);
  platform::PixelBuffer buffer{pixels.data(), 800 * 4, 800, 600};
  for (auto _ : state) {
    pixels[0] ^= 1;
    shell->presenter().Present(buffer, platform::PresentRect{0, 0, 800, 600});
    shell->events().BeginFrame();  // the repaint reaches the X server
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 800 * 600 * 4);
}
BENCHMARK(BM_PresentFullFrameToWindow)->Unit(benchmark::kMicrosecond);

// Passes the window's presenter on, noting the first present; closes the
// program `linger` after it.
class Watch : public platform::IPresenter, public platform::IEventSource {
 public:
  Watch(platform::IPresenter* presenter, platform::IEventSource* source, std::chrono::milliseconds linger)
      : presenter_(presenter), source_(source), linger_(linger) {}
  void Present(const platform::PixelBuffer& b, const platform::PresentRect& r) override {
    if (!first_) {
      first_ = Clock::now();
      cpu_at_first_ = ProcessSeconds();
    }
    presenter_->Present(b, r);
  }
  void BeginFrame() override {
    if (first_ && !closed_) ++frames_waiting_;
    source_->BeginFrame();
  }
  bool PeekEvent(platform::WindowEvent& out) override {
    if (first_ && !closed_ && Clock::now() - *first_ >= linger_) {
      closed_ = true;
      cpu_at_close_ = ProcessSeconds();
      closed_at_ = Clock::now();
      out = platform::WindowEvent{platform::WindowMessage::kClose};
      return true;
    }
    return source_->PeekEvent(out);
  }
  void WaitForEvent(uint32_t ms) override { source_->WaitForEvent(ms); }
  void AcquireInput() override { source_->AcquireInput(); }
  bool ReadKeyboard(std::span<uint8_t, platform::kKeyboardKeys> k) override { return source_->ReadKeyboard(k); }
  bool ReadMouse(platform::MouseState& m) override { return source_->ReadMouse(m); }
  platform::CursorPoint CursorPosition() override { return source_->CursorPosition(); }

  std::optional<Clock::time_point> first_;
  Clock::time_point closed_at_;
  double cpu_at_first_ = 0, cpu_at_close_ = 0;
  uint64_t frames_waiting_ = 0;  // frames between the first present and the close
  bool closed_ = false;

 private:
  platform::IPresenter* presenter_;
  platform::IEventSource* source_;
  std::chrono::milliseconds linger_;
};

class BenchSystems : public App::ProgramSystems {
 public:
  BenchSystems(fs::path home, std::chrono::milliseconds linger) : home_(std::move(home)), linger_(linger) {}
  std::u16string ExecutablePath() override { return platform::Utf8ToUtf16(ENGINE_BINARY_DIR "/bin/mesrin"); }
  std::u16string DataHome() override { return platform::Utf8ToUtf16(home_.string()); }
  bool CreateMainWindow(bool debug) override {
    if (!ProgramSystems::CreateMainWindow(debug)) return false;
    watch_ = std::make_unique<Watch>(ProgramSystems::MainPresenter(), &platform::EventSource(), linger_);
    platform::SetEventSource(watch_.get());
    boxes_.SetEcho(false);
    boxes_.SetAnswer(platform::IDYES);
    platform::SetMessageBoxService(&boxes_);
    return true;
  }
  platform::IPresenter* MainPresenter() override { return watch_.get(); }
  void DestroyMainWindow() override {
    platform::SetEventSource(nullptr);
    platform::SetMessageBoxService(nullptr);
    ProgramSystems::DestroyMainWindow();
  }
  std::unique_ptr<Watch> watch_;

 private:
  fs::path home_;
  std::chrono::milliseconds linger_;
  platform::HeadlessMessageBox boxes_;
};

// Runs the program on the demo data until `linger` after its first present.
bool RunDemo(benchmark::State& state, std::chrono::milliseconds linger, double* startup_ms, double* idle_cpu,
             double* frame_rate = nullptr) {
  if (!fs::exists(ENGINE_BINARY_DIR "/data/script.saf") || !platform::GtkShell::DisplayAvailable()) {
    state.SkipWithError("no display or no demo data");
    return false;
  }
  fs::path home = fs::temp_directory_path() / ("shell_bench_" + std::to_string(::getpid()));
  ::setenv("XDG_RUNTIME_DIR", fs::temp_directory_path().c_str(), 1);
  BenchSystems systems(home, linger);
  std::vector<std::string> args = {"-S"};
  auto start = Clock::now();
  App::RunMesrin(systems, args);
  fs::remove_all(home);
  if (!systems.watch_ || !systems.watch_->first_) {
    state.SkipWithError("nothing presented");
    return false;
  }
  Watch& w = *systems.watch_;
  *startup_ms = std::chrono::duration<double, std::milli>(*w.first_ - start).count();
  double wall = std::chrono::duration<double>(w.closed_at_ - *w.first_).count();
  *idle_cpu = wall > 0 ? (w.cpu_at_close_ - w.cpu_at_first_) / wall : 0;
  if (frame_rate != nullptr) *frame_rate = wall > 0 ? static_cast<double>(w.frames_waiting_) / wall : 0;
  return true;
}

void BM_StartupToFirstPresentedFrame(benchmark::State& state) {
  for (auto _ : state) {
    double startup_ms = 0, idle = 0;
    if (!RunDemo(state, std::chrono::milliseconds(0), &startup_ms, &idle)) return;
    state.SetIterationTime(startup_ms / 1000);
  }
}
BENCHMARK(BM_StartupToFirstPresentedFrame)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The first page waits for a click for five seconds: the share of one core used.
void BM_WaitingGameProcessorShare(benchmark::State& state) {
  for (auto _ : state) {
    double startup_ms = 0, idle = 0, rate = 0;
    if (!RunDemo(state, std::chrono::milliseconds(5000), &startup_ms, &idle, &rate)) return;
    state.counters["core_percent"] = idle * 100;
    state.counters["frames_per_second"] = rate;
  }
}
BENCHMARK(BM_WaitingGameProcessorShare)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
