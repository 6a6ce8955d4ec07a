#include "core/combase.h"

#include <gtest/gtest.h>

namespace {

int g_destroyed = 0;
int g_assertions = 0;
void CountAssertion(const char16_t*, int, const char16_t*) { ++g_assertions; }

struct ITest : IUnknown {
  static constexpr GUID kIid = {0x12345678, 0x1, 0x2, {1, 2, 3, 4, 5, 6, 7, 8}};
  virtual int Value() = 0;
};

class CTest : public CComImpl<ITest> {
 public:
  int Value() override { return 42; }
  ~CTest() override { ++g_destroyed; }
};

class CAggregated : public CComBaseT<IUnknown> {
 public:
  using CComBaseT::CComBaseT;
  ~CAggregated() override { ++g_destroyed; }
};

TEST(ComImpl, CountsReferencesAndReportsAReleaseBelowZero) {
  g_destroyed = 0;
  g_assertions = 0;
  AssertionHandler previous = SetAssertionHandler(&CountAssertion);
  auto* t = new CTest;
  EXPECT_EQ(t->AddRef(), 2u);
  EXPECT_EQ(t->Release(), 1u);
  void* out = reinterpret_cast<void*>(1);
  EXPECT_EQ(t->QueryInterface(ITest::kIid, &out), S_OK);
  EXPECT_EQ(out, static_cast<ITest*>(t));
  EXPECT_EQ(t->QueryInterface(IID_IUnknown, &out), S_OK);
  EXPECT_EQ(t->RefCount(), 3);
  GUID other = ITest::kIid;
  other.Data4[7] ^= 1;
  EXPECT_EQ(t->QueryInterface(other, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  t->Release();
  t->Release();
  EXPECT_EQ(g_destroyed, 0);
  EXPECT_EQ(t->Release(), 0u);
  EXPECT_EQ(g_destroyed, 1);
  EXPECT_EQ(g_assertions, 0);
  SetAssertionHandler(previous);
}

TEST(ComBase, AggregatedObjectForwardsToItsOuterAndKeepsItsOwnCount) {
  g_destroyed = 0;
  auto* outer = new CTest;
  auto* inner = new CAggregated(outer);
  EXPECT_EQ(inner->AddRef(), 2u);  // the outer's count
  EXPECT_EQ(inner->RefCount(), 1);
  void* out = nullptr;
  EXPECT_EQ(inner->QueryInterface(ITest::kIid, &out), S_OK);  // answered by the outer
  EXPECT_EQ(out, static_cast<ITest*>(outer));
  EXPECT_EQ(inner->Release(), 2u);
  EXPECT_EQ(inner->InternalRelease(), 0u);
  EXPECT_EQ(g_destroyed, 1);  // the inner object
  outer->Release();
  outer->Release();
  EXPECT_EQ(g_destroyed, 2);
}

class CZeroable : public CAggregated {
 public:
  void ZeroCount() { m_Count = 0; }
  void Destroy() { delete this; }
};

TEST(ComBase, InternalReleaseAtZeroDestroysNothing) {
  g_destroyed = 0;
  auto* o = new CZeroable;
  o->ZeroCount();
  EXPECT_EQ(o->InternalRelease(), 0u);
  EXPECT_EQ(g_destroyed, 0);
  o->Destroy();
  EXPECT_EQ(g_destroyed, 1);
}

TEST(ComPtr, ReleasesOnDestructionAndSharesOnCopy) {
  g_destroyed = 0;
  {
    ComPtr<CTest> a = ComPtr<CTest>::Adopt(new CTest);
    ComPtr<CTest> b = a;
    EXPECT_EQ(a->RefCount(), 2);
    b.reset();
    EXPECT_EQ(a->RefCount(), 1);
  }
  EXPECT_EQ(g_destroyed, 1);
}

struct Sprite {
  int refs = 1;
  void Release() {
    if (--refs == 0) ++g_destroyed;
  }
};

TEST(SmartPointers, CountedPtrReleasesThroughItsDeleterOnce) {
  g_destroyed = 0;
  Sprite s;
  {
    counted_ptr<Sprite> a(&s);
    counted_ptr<Sprite> b = a;
    EXPECT_EQ(a.use_count(), 2);
    a.release();
    a.release();  // a released holder does nothing
    EXPECT_EQ(g_destroyed, 0);
  }
  EXPECT_EQ(g_destroyed, 1);
}

TEST(SmartPointers, OwnedPtrDeletesArraysWithTheArrayDeleter) {
  owned_ptr<int, array_deleter<int>> p(new int[16]);
  p.reset();
  EXPECT_FALSE(p);
  AttachPointer(p, new int[4]);
  EXPECT_TRUE(p);
  CTest* none = nullptr;
  ReleaseInterface(none);  // null holders are fine
  auto* t = new CTest;
  ReleaseInterface(t);
  EXPECT_EQ(t, nullptr);
}

}  // namespace
