#include "core/cardinal_spline.h"

#include <cmath>
#include <cstdio>

namespace {

void spline_report(const char* text) {
  std::printf("%s\n", text);
  std::fflush(stdout);
}

}  // namespace

SplinePoint::SplinePoint() : x_(0.0f), y_(0.0f), z_(0.0f) {}

SplinePoint::SplinePoint(float x, float y, float z) : x_(x), y_(y), z_(z) {}

void MultiplyBasis(const float a[4][4], const float b[4][3], float out[4][3]) {
  for (int r = 0; r < 4; ++r) {
    for (int c = 0; c < 3; ++c) {
      float sum = 0.0f;
      for (int k = 0; k < 4; ++k) sum += a[r][k] * b[k][c];
      out[r][c] = sum;
    }
  }
}

CardinalSpline::CardinalSpline(float tension) : tension(tension), coefficients{}, basis{} {
  SetTension();
}

void CardinalSpline::SetTension() {
  const float s = tension;
  basis[0][0] = -s;
  basis[0][1] = 2.0f - s;
  basis[0][2] = s - 2.0f;
  basis[0][3] = s;
  basis[1][0] = 2.0f * s;
  basis[1][1] = s - 3.0f;
  basis[1][2] = 3.0f - 2.0f * s;
  basis[1][3] = -s;
  basis[2][0] = -s;
  basis[2][1] = 0.0f;
  basis[2][2] = s;
  basis[2][3] = 0.0f;
  basis[3][0] = 0.0f;
  basis[3][1] = 1.0f;
  basis[3][2] = 0.0f;
  basis[3][3] = 0.0f;
}

void CardinalSpline::AddPoint(SplinePoint point) { controlPoints.push_back(point); }

void CardinalSpline::Clear() { controlPoints.clear(); }

bool CardinalSpline::CheckSegment(unsigned int segment) const {
  if (segment == 0 || segment >= controlPoints.size()) {
    spline_report("ERROR: bad segment number!");
    return false;
  }
  return true;
}

void CardinalSpline::ComputeCoefficients(unsigned int segment) {
  const unsigned int last = static_cast<unsigned int>(controlPoints.size()) - 1;
  const unsigned int a = segment == 1 ? 0 : segment - 2;
  const unsigned int b = segment == last ? segment : segment + 1;
  const SplinePoint* rows[4] = {&controlPoints[a], &controlPoints[segment - 1],
                                &controlPoints[segment], &controlPoints[b]};
  float control[4][3];
  for (int r = 0; r < 4; ++r) {
    control[r][0] = rows[r]->x();
    control[r][1] = rows[r]->y();
    control[r][2] = rows[r]->z();
  }
  MultiplyBasis(basis, control, coefficients);
}

SplinePoint CardinalSpline::PointAt(float u) const {
  const float u2 = u * u;
  const float u3 = u2 * u;
  float out[3];
  for (int c = 0; c < 3; ++c) {
    out[c] = u3 * coefficients[0][c] + u2 * coefficients[1][c] + u * coefficients[2][c] +
             coefficients[3][c];
  }
  return SplinePoint(out[0], out[1], out[2]);
}

std::optional<SplinePoint> CardinalSpline::EvaluateSegment(unsigned int segment, float u) {
  // Written as a negation so that a NaN parameter is refused too.
  if (!(u >= 0.0f && u <= kSplineMaxSegmentU)) {
    spline_report("ERROR: bad u value!");
    return std::nullopt;
  }
  if (!CheckSegment(segment)) return std::nullopt;
  ComputeCoefficients(segment);
  return PointAt(u);
}

std::deque<SplinePoint>& CardinalSpline::SampleSegment(unsigned int segment, float count) {
  samples.clear();
  if (!CheckSegment(segment)) return samples;
  if (!(count > 0.0f && count <= kSplineMaxSampleCount)) {
    spline_report("ERROR: bad sample count!");
    return samples;
  }
  const float step = 1.0f / count;
  samples.push_back(controlPoints[segment - 1]);
  ComputeCoefficients(segment);
  float u = step;
  while (u <= kSplineSampleUBound) {
    samples.push_back(PointAt(u));
    const float next = u + step;
    // Guards against a step too small to move u any further.
    if (!(next > u)) break;
    u = next;
  }
  return samples;
}
