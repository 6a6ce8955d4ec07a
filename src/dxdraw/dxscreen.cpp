#include "dxdraw/dxscreen.h"

#include <algorithm>

#include "dxdraw/dxsurface.h"
#include "platform/presenter.h"

namespace DxDraw {

namespace {

bool g_ShowSystemCursor = true;

// The size of one band of a dirty rectangle in the back buffer: small enough to
// stay in the second-level cache while the layers' rows pass through it, large
// enough that each layer's rows stream (measured with the render benchmark).
constexpr int kBandBytes = 256 * 1024;

// Whether drawing `view` writes every pixel of `band` in `target` with a sprite
// that replaces what is below it: then what the band held before, the clear
// included, never shows. Follows the draw walk: a hidden sprite or drawing
// group draws nothing; a plain group draws its children whatever its flag says.
bool CoveredBySprite(const ssView* view, const DxSurface* target, const RECT& band) {
  if (const auto* sprite = dynamic_cast<const DxSprite*>(view)) return sprite->Replaces(target, band);
  const auto* group = dynamic_cast<const ssGroup*>(view);
  if (group == nullptr || (!view->IsVisible() && dynamic_cast<const DrawGroup*>(view) != nullptr)) return false;
  for (const ssView* child = group->GetFirstChild(); child != nullptr; child = child->GetNextSibling()) {
    if (CoveredBySprite(child, target, band)) return true;
  }
  return false;
}

}  // namespace

bool ShowSystemCursor() { return g_ShowSystemCursor; }

// ---- DxScreenSurface ----

DxScreenSurface::DxScreenSurface(DxSurface* cursorImage, const SPRITEFRAME* cursorFrame) : m_pCursorImage(cursorImage) {
  DrawView::SetPosition(0, 0);
  if (cursorImage != nullptr) {
    m_pCursorSprite = new DxSprite(cursorImage, cursorFrame, BLT_WEIGHTED);
    g_ShowSystemCursor = false;
  } else {
    g_ShowSystemCursor = true;
  }
}

DxScreenSurface::~DxScreenSurface() {
  if (m_pBackBuffer != nullptr) m_pBackBuffer->Release();
  if (m_pCursorSprite != nullptr) m_pCursorSprite->Release();
}

int DxScreenSurface::Resize(int width, int height) {
  DxSurface* buffer = m_pBackBuffer;
  if (buffer == nullptr || buffer->Create(width, height) == 0) return -1;
  m_ScreenRect = RECT{0, 0, width, height};
  return 0;
}

void DxScreenSurface::Present(platform::IPresenter* presenter, DRAWINFO* info) {
  if (m_pBackBuffer == nullptr) return;
  DRAWINFO local;
  if (info == nullptr) {
    local.target = m_pBackBuffer;
    info = &local;
  }
  OnMessage(kMsgCollectDirty, reinterpret_cast<MessageArg>(this), reinterpret_cast<MessageArg>(&m_DirtyList));
  const platform::PixelBuffer pixels{m_pBackBuffer->GetPixelAddress(0, 0), m_pBackBuffer->GetPitch(),
                                     m_pBackBuffer->GetWidth(), RectHeight(m_pBackBuffer->GetBounds())};
  for (RECT& rect : m_DirtyList.Rects()) {
    if (!IntersectRect(rect, rect, m_ScreenRect)) continue;
    // Drawn in bands of a few rows, so that the band of the back buffer stays in
    // the cache while every layer is drawn over it. What a view draws into a
    // pixel does not depend on the clip, as for any dirty rectangle.
    const int bandRows = std::max(1, kBandBytes / (4 * RectWidth(rect)));
    for (int top = rect.top; top < rect.bottom; top += bandRows) {
      RECT band{rect.left, top, rect.right, std::min(rect.bottom, top + bandRows)};
      info->clip = band;
      // The clear is left out where a sprite drawn anywhere in the tree
      // replaces every pixel of the band.
      if (!CoveredBySprite(this, m_pBackBuffer, band)) m_pBackBuffer->FillRect(&band, 0, 0);
      DrawGroup::Draw(info);
    }
    if (presenter != nullptr) {
      presenter->Present(pixels, platform::PresentRect{rect.left, rect.top, rect.right, rect.bottom});
    }
  }
}

MessageResult DxScreenSurface::OnMessage(uint32_t msg, MessageArg a, MessageArg b) {
  switch (msg) {
    case kMsgAddDirty:
      if (a != 0) m_DirtyList.Add(*reinterpret_cast<const RECT*>(a));
      return 1;
    case kMsgRepaint:
      // Drawn at once whatever the skip counter says; nothing is committed, so
      // the next regular present draws the area again with what changed.
      if (m_pBackBuffer != nullptr) {
        if (a != 0) m_DirtyList.Add(*reinterpret_cast<const RECT*>(a));
        Present(reinterpret_cast<platform::IPresenter*>(b), nullptr);
      }
      return 1;
    default:
      return DxDrawGroup::OnMessage(msg, a, b);
  }
}

// ---- DxScreenSurface32 ----

int DxScreenSurface32::Resize(int width, int height) {
  DxSurface* buffer = CreateSurface(32);
  if (buffer == nullptr) return -1;
  if (buffer->Create(width, height) == 0) {
    buffer->Release();
    return -1;
  }
  if (m_pBackBuffer != nullptr) m_pBackBuffer->Release();
  m_pBackBuffer = buffer;
  m_ScreenRect = RECT{0, 0, width, height};
  return 0;
}

DxSurface* DxScreenSurface32::Snapshot() {
  return m_pBackBuffer != nullptr ? m_pBackBuffer->Clone(2, nullptr) : nullptr;
}

void DxScreenSurface32::Draw(DRAWINFO* info) {
  if (m_SkipCounter > 0) {
    --m_SkipCounter;
    return;
  }
  m_SkipCounter = m_SkipReload;
  // Every change to what the tree shows marks a view changed or a surface
  // dirty; with neither since the last commit, the walks would find nothing.
  if (m_DirtyList.Count() == 0 && ChangeMarks() == m_CommittedMarks) return;
  DRAWINFO copy = info != nullptr ? *info : DRAWINFO{};
  copy.target = m_pBackBuffer;
  Present(copy.presenter, &copy);
  OnMessage(kMsgCommitDrawn, 0, 0);
  m_DirtyList.Reset(m_ListMode);
  // After the commit: the marks the drawing made (the back buffer's own) are
  // counted in, as the commit took every mark before it in.
  m_CommittedMarks = ChangeMarks();
}

}  // namespace DxDraw
