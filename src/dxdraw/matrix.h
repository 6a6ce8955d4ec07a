// 4x4 float matrices for the view transforms, used with row vectors: a point
// (x, y, z, 1) times the matrix, translation in elements 12, 13 and 14. Each
// operation changes the matrix in place; translations and rotations are put in
// front of it, so they act on a point before what the matrix already held.
#pragma once

#include <cstdint>
#include <vector>

#include "dxdraw/rect.h"

namespace DxDraw {

// Screen coordinates from a transform are kept within +-kCoordinateLimit, so
// that adding a frame origin or size to them cannot overflow.
inline constexpr int32_t kCoordinateLimit = 1 << 30;

inline constexpr float kIdentityMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

// The accumulated transform of a view: its ancestors' values summed (scales multiplied).
struct TransformState {
  float position[3];
  float pivot[3];
  float scale[3];
  float rotation1[3];
  float rotation2[3];

  // Every value 0 but the scales, which are 1.
  static TransformState Neutral() {
    return TransformState{{0, 0, 0}, {0, 0, 0}, {1, 1, 1}, {0, 0, 0}, {0, 0, 0}};
  }
};

namespace Matrix {

// Angles count 1/65536 of a turn; only the low 16 bits matter.
float AngleToRadians(int32_t angle);

void Translate(float* m, float x, float y, float z);
// About y by ay, then about x by ax, then about z by az, each put in front.
void RotateXYZ(float* m, int32_t ax, int32_t ay, int32_t az);
// Multiplies columns 0, 1, 2 of rows 0, 1, 2 by sx, sy, sz.
void Scale(float* m, float sx, float sy, float sz);
// The screen point of p: x and y truncated toward zero, saturated to
// +-kCoordinateLimit (a NaN gives 0).
POINT TransformPoint(const float* m, const float p[3]);
void SetIdentity(float* m);

}  // namespace Matrix

// Truncates toward zero and saturates to +-kCoordinateLimit; NaN gives 0.
int32_t SaturateCoordinate(float v);

// A coordinate computed in 64 bits, brought back within +-kCoordinateLimit.
inline int32_t ClampCoordinate(int64_t v) {
  return static_cast<int32_t>(v < -kCoordinateLimit ? -kCoordinateLimit : v > kCoordinateLimit ? kCoordinateLimit : v);
}

// The saved matrices of the draw pass: each positioned group pushes the current
// matrix before applying its transform and pops it after its children.
class MatrixStack {
 public:
  explicit MatrixStack(int capacity);

  // Copies m on top. A push beyond the capacity stores nothing, is reported,
  // and is remembered so that the pop paired with it is absorbed too.
  bool Push(const float* m);
  // Copies the top matrix into m. A pop with nothing pushed leaves m alone and
  // is reported.
  bool Pop(float* m);
  int Depth() const { return m_Depth; }
  int Capacity() const { return m_Capacity; }

  // The process's stack (capacity 128).
  static MatrixStack& Global();

 private:
  std::vector<float> m_Block;  // capacity x 16 floats
  int m_Capacity;
  int m_Depth = 0;
  int m_Overflow = 0;  // pushes refused for lack of room, not yet popped
};

inline constexpr int kMatrixStackCapacity = 128;

// The global current matrix that the draw pass composes (identity at start).
float* CurrentMatrix();

}  // namespace DxDraw
