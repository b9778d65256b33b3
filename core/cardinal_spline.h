#pragma once

#include <deque>
#include <optional>

// A point of the spline: three floats x, y, z, in that order. A value type of
// its own, separate from Vector3.
class SplinePoint {
 public:
  // (0, 0, 0).
  SplinePoint();
  SplinePoint(float x, float y, float z);

  // References to the components, for reading and writing.
  float& x() { return x_; }
  float& y() { return y_; }
  float& z() { return z_; }
  const float& x() const { return x_; }
  const float& y() const { return y_; }
  const float& z() const { return z_; }

  // Store one component.
  void setX(float value) { x_ = value; }
  void setY(float value) { y_ = value; }
  void setZ(float value) { z_ = value; }

 private:
  float x_;
  float y_;
  float z_;
};

// The largest parameter EvaluateSegment accepts: the float just above 1, so a
// parameter that rounding pushed a step past 1 still gives the segment's end.
constexpr float kSplineMaxSegmentU = 1.0000001f;

// SampleSegment samples while its accumulated parameter is at most this bound
// (1.0000009536743164 as a float), so the step that should land on 1 is kept.
constexpr float kSplineSampleUBound = 1.000001f;

// The largest sample count SampleSegment accepts; larger counts would make
// the accumulated parameter stall and the sample queue grow without need.
constexpr float kSplineMaxSampleCount = 1000000.0f;

// out = a x b for a 4 x 4 and a 4 x 3 float matrix: each entry is the float
// sum over k = 0..3, in that order, of a[r][k] * b[k][c]. out must not be b.
void MultiplyBasis(const float a[4][4], const float b[4][3], float out[4][3]);

// A cubic cardinal spline through 3-D control points P0 ... Pn-1, evaluated
// one segment at a time.
//
// With n control points the segments are 1 ... n-1. Segment i runs from
// P(i-1) at u = 0 to P(i) at u = 1 and is shaped by P(a), P(i-1), P(i), P(b)
// with a = i-2 (0 when i = 1) and b = i+1 (i when i = n-1): the first and last
// points stand in for the missing outer neighbours. The tangent at P(k) is
// tension * (P(k+1) - P(k-1)).
//
// Error texts go to the standard output, each followed by a line end:
//   "ERROR: bad u value!"        parameter outside [0, kSplineMaxSegmentU]
//   "ERROR: bad segment number!" segment 0 or at/after the last control point
//   "ERROR: bad sample count!"   SampleSegment count that is not a number,
//                                not above 0 or above kSplineMaxSampleCount
class CardinalSpline {
 public:
  // Stores the tension, starts with no control points and no samples, and
  // builds the basis.
  explicit CardinalSpline(float tension);

  // Rebuilds `basis` from the `tension` field; the caller stores a new
  // tension there first. Rows for tension s:
  //   (-s, 2-s, s-2, s), (2s, s-3, 3-2s, -s), (-s, 0, s, 0), (0, 1, 0, 0).
  void SetTension();

  // Appends a control point.
  void AddPoint(SplinePoint point);

  // Removes all control points; `samples` keeps its points.
  void Clear();

  // The control points in order of addition.
  const std::deque<SplinePoint>& GetControlPoints() const { return controlPoints; }

  // The point of segment `segment` at parameter u, or no point.
  // u must lie in [0, kSplineMaxSegmentU] (a NaN is refused as well), else
  // the u message is written and no point returned; this check comes first.
  // A segment of 0 or of n or more (n control points, so always with fewer
  // than two points) writes the segment message and returns no point.
  // Otherwise `coefficients` is recomputed from the current control points
  // (nothing is cached between calls) and each component is
  // u^3 c[0] + u^2 c[1] + u c[2] + c[3], in float. At u = 0 the result is
  // P(segment-1) exactly.
  std::optional<SplinePoint> EvaluateSegment(unsigned int segment, float u);

  // Empties `samples` and fills it with points along the segment, then
  // returns it: the start point P(segment-1), then the points at
  // u = step, 2 step, ... (step = 1 / count in float, u accumulated by float
  // addition) while u <= kSplineSampleUBound. Count 4 gives the start and
  // u = 0.25, 0.5, 0.75, 1; count 10 the start and ten more, the last at
  // u = 1.0000001. A count below 1 can give the start point alone.
  // A bad segment (as for EvaluateSegment) writes the segment message; a
  // count that is not a number, not above 0 or above kSplineMaxSampleCount
  // writes the count message; both return `samples` empty. Sampling also
  // ends should the accumulated u stop growing.
  std::deque<SplinePoint>& SampleSegment(unsigned int segment, float count);

  // Tension s of the basis.
  float tension;
  // Polynomial coefficients of the segment last evaluated or sampled: row 0
  // multiplies u^3, row 1 u^2, row 2 u, row 3 is the constant; columns x, y, z.
  float coefficients[4][3];
  // The cardinal basis built from `tension` by SetTension.
  float basis[4][4];
  // Output of SampleSegment.
  std::deque<SplinePoint> samples;
  // Control points P0 ... Pn-1.
  std::deque<SplinePoint> controlPoints;

 private:
  // True when `segment` names a segment of the current control points;
  // otherwise writes the segment message.
  bool CheckSegment(unsigned int segment) const;
  // Sets `coefficients` from the four control points that shape the segment;
  // the segment must have passed CheckSegment.
  void ComputeCoefficients(unsigned int segment);
  // The point at u from the current `coefficients`.
  SplinePoint PointAt(float u) const;
};
