// A process-wide service: the implementation a caller installed, or else a
// built-in default (the headless one, or the real clock).
#pragma once

#include <atomic>

namespace platform {

template <class Interface, class Default>
class ServiceSlot {
 public:
  constexpr ServiceSlot() = default;

  Interface& Get() {
    Interface* installed = installed_.load();
    return installed != nullptr ? *installed : BuiltIn();
  }

  // Installs `service` (not owned); null restores the built-in one. Returns the previous.
  Interface* Install(Interface* service) { return installed_.exchange(service); }

 private:
  static Default& BuiltIn() {
    static Default service;
    return service;
  }

  std::atomic<Interface*> installed_{nullptr};
};

}  // namespace platform
