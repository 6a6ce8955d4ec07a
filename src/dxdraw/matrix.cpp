#include "dxdraw/matrix.h"

#include <cmath>
#include <cstring>

#include "core/exception.h"

namespace DxDraw {

namespace {

constexpr float kPi = 3.1415927410125732f;

float g_CurrentMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

}  // namespace

int32_t SaturateCoordinate(float v) {
  if (std::isnan(v)) return 0;
  if (v >= static_cast<float>(kCoordinateLimit)) return kCoordinateLimit;
  if (v <= -static_cast<float>(kCoordinateLimit)) return -kCoordinateLimit;
  return static_cast<int32_t>(v);
}

namespace Matrix {

float AngleToRadians(int32_t angle) {
  return static_cast<float>(angle & 0xFFFF) * 2.0f * kPi / 65536.0f;
}

void Translate(float* m, float x, float y, float z) {
  for (int c = 0; c < 4; ++c) m[12 + c] += x * m[c] + y * m[4 + c] + z * m[8 + c];
}

void RotateXYZ(float* m, int32_t ax, int32_t ay, int32_t az) {
  // row i is m[4i .. 4i+3]; each turn mixes two rows from their old values.
  auto turn = [m](int32_t angle, int a, int b, bool minusFirst) {
    if ((angle & 0xFFFF) == 0) return;
    const float r = AngleToRadians(angle);
    const float c = std::cos(r);
    const float s = std::sin(r);
    float* rowA = m + 4 * a;
    float* rowB = m + 4 * b;
    for (int i = 0; i < 4; ++i) {
      const float oa = rowA[i];
      const float ob = rowB[i];
      if (minusFirst) {
        rowA[i] = c * oa - s * ob;
        rowB[i] = c * ob + s * oa;
      } else {
        rowA[i] = c * oa + s * ob;
        rowB[i] = c * ob - s * oa;
      }
    }
  };
  turn(ay, 0, 2, true);   // about y: row0 := c row0 - s row2, row2 := c row2 + s row0
  turn(ax, 1, 2, false);  // about x: row1 := c row1 + s row2, row2 := c row2 - s row1
  turn(az, 0, 1, false);  // about z: row0 := c row0 + s row1, row1 := c row1 - s row0
}

void Scale(float* m, float sx, float sy, float sz) {
  for (int row = 0; row < 3; ++row) {
    m[4 * row + 0] *= sx;
    m[4 * row + 1] *= sy;
    m[4 * row + 2] *= sz;
  }
}

POINT TransformPoint(const float* m, const float p[3]) {
  const float x = m[0] * p[0] + m[4] * p[1] + m[8] * p[2] + m[12];
  const float y = m[1] * p[0] + m[5] * p[1] + m[9] * p[2] + m[13];
  return POINT{SaturateCoordinate(x), SaturateCoordinate(y)};
}

void SetIdentity(float* m) { std::memcpy(m, kIdentityMatrix, sizeof(kIdentityMatrix)); }

}  // namespace Matrix

MatrixStack::MatrixStack(int capacity)
    : m_Block(static_cast<size_t>(capacity > 0 ? capacity : 0) * 16), m_Capacity(capacity > 0 ? capacity : 0) {}

bool MatrixStack::Push(const float* m) {
  if (m_Depth >= m_Capacity || m_Overflow > 0) {
    ++m_Overflow;
    ReportAssertion(u"dxdraw/dxdraw", __LINE__, u"MatrixStack::Push beyond capacity");
    return false;
  }
  std::memcpy(m_Block.data() + static_cast<size_t>(m_Depth) * 16, m, 16 * sizeof(float));
  ++m_Depth;
  return true;
}

bool MatrixStack::Pop(float* m) {
  if (m_Overflow > 0) {
    --m_Overflow;
    return false;
  }
  if (m_Depth <= 0) {
    ReportAssertion(u"dxdraw/dxdraw", __LINE__, u"MatrixStack::Pop on an empty stack");
    return false;
  }
  --m_Depth;
  std::memcpy(m, m_Block.data() + static_cast<size_t>(m_Depth) * 16, 16 * sizeof(float));
  return true;
}

MatrixStack& MatrixStack::Global() {
  static MatrixStack stack(kMatrixStackCapacity);
  return stack;
}

float* CurrentMatrix() { return g_CurrentMatrix; }

}  // namespace DxDraw
