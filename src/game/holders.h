// Owners for the renderer objects a command makes for the length of a wait:
// whatever way the wait ends (a ScriptException included), the sprite leaves
// the tree and the picture's reference is dropped.
#pragma once

#include <memory>

#include "dxdraw/dxsurface.h"
#include "dxdraw/view.h"

namespace Game {

struct ReleaseView {
  void operator()(DxDraw::ssView* view) const { view->Release(); }
};
struct ReleaseSurface {
  void operator()(DxDraw::DxSurface* surface) const { surface->Release(); }
};

template <class View>
using ViewHolder = std::unique_ptr<View, ReleaseView>;
using SurfaceHolder = std::unique_ptr<DxDraw::DxSurface, ReleaseSurface>;

}  // namespace Game
