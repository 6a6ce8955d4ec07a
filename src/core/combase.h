// Reference counting: the COM-like object base with its own interface identities,
// and the two small smart pointers that destroy through a polymorphic deleter.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <utility>

#include "core/exception.h"

// A 16-byte interface identity.
struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};
using IID = GUID;

inline bool IsEqualGUID(const GUID& a, const GUID& b) {
  return std::memcmp(&a, &b, sizeof(GUID)) == 0;
}
inline bool operator==(const GUID& a, const GUID& b) { return IsEqualGUID(a, b); }

using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
inline constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }
inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }

inline constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000,
                                      {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The three-method base of every reference-counted interface. Each interface
// derived from it names its identity as `static constexpr GUID kIid`.
struct IUnknown {
  static constexpr GUID kIid = IID_IUnknown;
  virtual HRESULT QueryInterface(const IID& iid, void** out) = 0;
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;

 protected:
  virtual ~IUnknown() = default;
};

// Base for objects that may be aggregated: with an outer object, the three IUnknown
// calls go to it and the object's own count never changes.
template <class Base = IUnknown>
class CComBaseT : public Base {
 public:
  explicit CComBaseT(IUnknown* outer = nullptr) : m_pOuter(outer) {}

  HRESULT QueryInterface(const IID& iid, void** out) override {
    return m_pOuter != nullptr ? m_pOuter->QueryInterface(iid, out) : InternalQueryInterface(iid, out);
  }
  uint32_t AddRef() override { return m_pOuter != nullptr ? m_pOuter->AddRef() : InternalAddRef(); }
  uint32_t Release() override { return m_pOuter != nullptr ? m_pOuter->Release() : InternalRelease(); }

  virtual HRESULT InternalQueryInterface(const IID& iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (IsEqualGUID(iid, IID_IUnknown)) {
      AddRef();
      *out = static_cast<IUnknown*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  virtual uint32_t InternalAddRef() { return static_cast<uint32_t>(++m_Count); }
  // A count already at 0 is left alone: nothing is destroyed twice.
  virtual uint32_t InternalRelease() {
    int32_t current = m_Count.load();
    do {
      if (current <= 0) return 0;
    } while (!m_Count.compare_exchange_weak(current, current - 1));
    if (current - 1 != 0) return static_cast<uint32_t>(current - 1);
    delete this;
    return 0;
  }

  int32_t RefCount() const { return m_Count.load(); }

 protected:
  ~CComBaseT() override = default;

  IUnknown* m_pOuter;              // the aggregating object, or null
  std::atomic<int32_t> m_Count{1}; // a factory hands out the first reference
};

// Base of the archive, archive-file and stream classes: one interface I (derived
// from IUnknown), a count that starts at 1, and a QueryInterface that answers I
// and IUnknown only.
template <class I>
class CComImpl : public I {
 public:
  HRESULT QueryInterface(const IID& iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualGUID(iid, I::kIid) || IsEqualGUID(iid, IID_IUnknown)) {
      AddRef();
      *out = static_cast<I*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t AddRef() override { return static_cast<uint32_t>(++m_Count); }
  // Releasing an object whose count is already 0 is a fault of the caller: it is
  // reported, and nothing is destroyed.
  uint32_t Release() override {
    int32_t current = m_Count.load();
    do {
      if (current <= 0) {
        ReportAssertion(u"combase", 38, u"m_Count > 0");
        return 0;
      }
    } while (!m_Count.compare_exchange_weak(current, current - 1));
    if (current - 1 == 0) delete this;
    return static_cast<uint32_t>(current - 1);
  }

  int32_t RefCount() const { return m_Count.load(); }

 protected:
  ~CComImpl() override = default;

 private:
  std::atomic<int32_t> m_Count{1};
};

// An owning interface pointer: releases its reference when it dies.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes over a reference the caller already holds.
  static ComPtr Adopt(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  // Takes a reference of its own.
  static ComPtr Share(T* p) {
    if (p != nullptr) p->AddRef();
    return Adopt(p);
  }
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr& o) : p_(o.p_) {
    if (p_ != nullptr) p_->AddRef();
  }
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  ComPtr& operator=(ComPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }

  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // Gives up the reference without releasing it.
  T* detach() { return std::exchange(p_, nullptr); }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out-parameters of factories: the old reference is released first.
  T** put() {
    reset();
    return &p_;
  }

 private:
  T* p_ = nullptr;
};

// Releases the holder's interface, when there is one, and empties the holder.
template <class T>
void ReleaseInterface(T*& holder) {
  if (holder != nullptr) {
    T* p = holder;
    holder = nullptr;
    p->Release();
  }
}

// --- Deleters and the two smart pointers -----------------------------------------

class deleter_base {
 public:
  virtual ~deleter_base() = default;
  virtual void operator()(void* p) = 0;
  virtual deleter_base* clone() const = 0;
};

template <class T>
struct array_deleter {
  void operator()(T* p) const { delete[] p; }
};

template <class T>
struct release_deleter {
  void operator()(T* p) const { p->Release(); }
};

template <class T>
struct object_deleter {
  void operator()(T* p) const { delete p; }
};

template <class T, class D>
class deleter_impl final : public deleter_base {
 public:
  void operator()(void* p) override {
    if (p != nullptr) D()(static_cast<T*>(p));
  }
  deleter_base* clone() const override { return new deleter_impl; }
};

// A shared pointer whose counter block holds the count and the deleter.
template <class T, class D = release_deleter<T>>
class counted_ptr {
 public:
  counted_ptr() = default;
  explicit counted_ptr(T* p) : p_(p), counter_(new Counter{1, new deleter_impl<T, D>}) {}
  ~counted_ptr() { release(); }
  counted_ptr(const counted_ptr& o) : p_(o.p_), counter_(o.counter_) {
    if (counter_ != nullptr) ++counter_->count;
  }
  counted_ptr(counted_ptr&& o) noexcept
      : p_(std::exchange(o.p_, nullptr)), counter_(std::exchange(o.counter_, nullptr)) {}
  counted_ptr& operator=(counted_ptr o) noexcept {
    std::swap(p_, o.p_);
    std::swap(counter_, o.counter_);
    return *this;
  }

  // Drops this holder's reference; the last one destroys the object through the deleter.
  void release() {
    Counter* c = std::exchange(counter_, nullptr);
    T* p = std::exchange(p_, nullptr);
    if (c == nullptr) return;
    if (--c->count == 0) {
      (*c->deleter)(p);
      delete c->deleter;
      delete c;
    }
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  int32_t use_count() const { return counter_ != nullptr ? counter_->count.load() : 0; }

 private:
  struct Counter {
    std::atomic<int32_t> count;
    deleter_base* deleter;
  };
  T* p_ = nullptr;
  Counter* counter_ = nullptr;
};

// A single-owner pointer with a deleter.
template <class T, class D = object_deleter<T>>
class owned_ptr {
 public:
  owned_ptr() = default;
  explicit owned_ptr(T* p) : p_(p), deleter_(p != nullptr ? new deleter_impl<T, D> : nullptr) {}
  ~owned_ptr() { reset(); }
  owned_ptr(owned_ptr&& o) noexcept
      : p_(std::exchange(o.p_, nullptr)), deleter_(std::exchange(o.deleter_, nullptr)) {}
  owned_ptr& operator=(owned_ptr&& o) noexcept {
    if (this != &o) {
      reset();
      p_ = std::exchange(o.p_, nullptr);
      deleter_ = std::exchange(o.deleter_, nullptr);
    }
    return *this;
  }
  owned_ptr(const owned_ptr&) = delete;
  owned_ptr& operator=(const owned_ptr&) = delete;

  void reset() {
    if (p_ != nullptr && deleter_ != nullptr) (*deleter_)(p_);
    p_ = nullptr;
    delete deleter_;
    deleter_ = nullptr;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
  deleter_base* deleter_ = nullptr;
};

// Stores p in the holder, destroying what it held before.
template <class T, class D>
void AttachPointer(owned_ptr<T, D>& holder, T* p) {
  holder = owned_ptr<T, D>(p);
}
