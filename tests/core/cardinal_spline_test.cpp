#include "core/cardinal_spline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using Points = std::vector<SplinePoint>;
const std::string kBadU = "ERROR: bad u value!\n", kBadSegment = "ERROR: bad segment number!\n";

// Segment i (1-based) at u in Hermite form, written apart from the code: from
// P(i-1) to P(i) with the tangents s (P(i) - P(i-2)) and s (P(i+1) - P(i-1)),
// the end points standing in for missing neighbours.
void ExpectHermite(double s, const Points& p, size_t i, double u, const SplinePoint& got) {
  const SplinePoint &p0 = p[i == 1 ? 0 : i - 2], &p1 = p[i - 1], &p2 = p[i], &p3 = p[i + 1 == p.size() ? i : i + 1];
  const double h00 = 2 * u * u * u - 3 * u * u + 1, h10 = u * u * u - 2 * u * u + u;
  const double h01 = 3 * u * u - 2 * u * u * u, h11 = u * u * u - u * u;
  using Coordinate = const float& (SplinePoint::*)() const;
  auto at = [&](Coordinate c) {
    return h00 * (p1.*c)() + h10 * s * ((p2.*c)() - (p0.*c)()) + h01 * (p2.*c)() + h11 * s * ((p3.*c)() - (p1.*c)());
  };
  const Coordinate xyz[] = {&SplinePoint::x, &SplinePoint::y, &SplinePoint::z};
  for (Coordinate c : xyz) EXPECT_NEAR(at(c), (got.*c)(), 1e-4) << "segment " << i << " u " << u;
}

CardinalSpline Spline(float tension, const Points& points) {
  CardinalSpline spline(tension);
  for (const SplinePoint& p : points) spline.AddPoint(p);
  return spline;
}

// What `call` printed on the standard output.
template <typename F>
std::string Printed(F call) {
  testing::internal::CaptureStdout();
  call();
  return testing::internal::GetCapturedStdout();
}

TEST(CardinalSpline, EvaluateAndSampleMatchTheHermiteForm) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> coordinate(-10.0f, 10.0f);
  for (float tension : {0.5f, 0.0f, 0.8f}) {
    for (size_t count : {2, 6}) {  // two points: the segment is shaped by P0, P0, P1, P1
      Points points;
      while (points.size() < count) points.emplace_back(coordinate(rng), coordinate(rng), coordinate(rng));
      CardinalSpline spline = Spline(tension, points);
      for (size_t i = 1; i < count; ++i) {
        for (float u : {0.0f, 0.1f, 0.5f, 0.9f, kSplineMaxSegmentU}) {
          ExpectHermite(tension, points, i, u, spline.EvaluateSegment(i, u).value());
        }
      }
    }
  }
  // Nothing is cached: new points after Clear and a new tension after SetTension apply at once.
  CardinalSpline spline = Spline(0.5f, {{0, 0, 0}, {1, 2, 3}});
  ASSERT_TRUE(spline.EvaluateSegment(1, 0.5f).has_value());
  spline.Clear();
  const Points points = {{1, 2, 3}, {-4, 0, 2}, {3, 3, -3}, {0, 1, 7}};
  for (const SplinePoint& p : points) spline.AddPoint(p);
  spline.tension = 0.9f;
  spline.SetTension();
  // Sampling: the start, then the points at u summed in float steps of
  // 1 / 10: the tenth ends a step above 1 and is kept.
  const std::deque<SplinePoint>& ten = spline.SampleSegment(2, 10.0f);
  ASSERT_EQ(11u, ten.size());
  float u = 0.0f;
  ExpectHermite(0.9, points, 2, u, ten[0]);
  for (int k = 1; k <= 10; ++k) ExpectHermite(0.9, points, 2, u += 0.1f, ten[k]);
  EXPECT_EQ(kSplineMaxSegmentU, u);
  // A count below 1 steps past the end at once: the start alone.
  for (float count : {0.5f, std::numeric_limits<float>::denorm_min()}) {
    ASSERT_EQ(1u, spline.SampleSegment(3, count).size());
    EXPECT_EQ(points[2].y(), spline.samples[0].y());
  }
}

// A refusal prints its message and gives no point or leaves no samples; the u message wins.
TEST(CardinalSpline, RefusalsPrintTheirMessage) {
  const float inf = std::numeric_limits<float>::infinity(), pastU = std::nextafter(kSplineMaxSegmentU, 2.0f);
  CardinalSpline none(0.5f), one = Spline(0.5f, {{1, 2, 3}}), four = Spline(0.5f, Points(4));
  struct Refusal {
    CardinalSpline* spline;
    unsigned segment;
    float u;
    std::string message;
  };
  const std::vector<Refusal> refusals = {{&four, 1, -0.001f, kBadU},       {&four, 1, pastU, kBadU},
                                         {&four, 1, NAN, kBadU},          {&four, 0, 2.0f, kBadU},
                                         {&four, 0, 0.5f, kBadSegment},   {&four, 4, 0.5f, kBadSegment},
                                         {&one, 1, 0.0f, kBadSegment},    {&none, 1, 0.0f, kBadSegment}};
  for (const Refusal& r : refusals) {
    EXPECT_EQ(Printed([&] { EXPECT_FALSE(r.spline->EvaluateSegment(r.segment, r.u)); }), r.message)
        << r.segment << " " << r.u;
  }
  const std::string kBadCount = "ERROR: bad sample count!\n";
  for (const auto& bad : {std::pair<unsigned, float>{0, 4}, {4, 4}, {2, 0}, {2, -4}, {2, inf}, {2, -inf}, {2, NAN},
                          {2, std::nextafter(kSplineMaxSampleCount, inf)}}) {
    four.SampleSegment(1, 3.0f);
    EXPECT_EQ(Printed([&] { four.SampleSegment(bad.first, bad.second); }), bad.first % 4 == 0 ? kBadSegment : kBadCount)
        << bad.first << " " << bad.second;
    EXPECT_TRUE(four.samples.empty());
  }
  EXPECT_EQ(Printed([&] { four.SampleSegment(2, kSplineMaxSampleCount); }), "");  // the largest count is taken
}

}  // namespace
