#include "core/cardinal_spline.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

struct P3 {
  double x, y, z;
};

// The segment between p1 and p2 written independently in Hermite form, with
// the tangents s * (p2 - p0) at p1 and s * (p3 - p1) at p2.
P3 HermitePoint(double s, P3 p0, P3 p1, P3 p2, P3 p3, double u) {
  const double h00 = 2 * u * u * u - 3 * u * u + 1;
  const double h10 = u * u * u - 2 * u * u + u;
  const double h01 = -2 * u * u * u + 3 * u * u;
  const double h11 = u * u * u - u * u;
  auto blend = [&](double a, double b, double c, double d) {
    return h00 * b + h10 * s * (c - a) + h01 * c + h11 * s * (d - b);
  };
  return {blend(p0.x, p1.x, p2.x, p3.x), blend(p0.y, p1.y, p2.y, p3.y),
          blend(p0.z, p1.z, p2.z, p3.z)};
}

P3 ToP3(const SplinePoint& p) { return {p.x(), p.y(), p.z()}; }

void ExpectNearPoint(const P3& expected, const SplinePoint& actual, double tolerance) {
  EXPECT_NEAR(expected.x, actual.x(), tolerance);
  EXPECT_NEAR(expected.y, actual.y(), tolerance);
  EXPECT_NEAR(expected.z, actual.z(), tolerance);
}

void ExpectSamePoint(const SplinePoint& expected, const SplinePoint& actual) {
  EXPECT_EQ(expected.x(), actual.x());
  EXPECT_EQ(expected.y(), actual.y());
  EXPECT_EQ(expected.z(), actual.z());
}

std::vector<SplinePoint> RandomPoints(std::mt19937& rng, int count) {
  std::uniform_real_distribution<float> dist(-10.0f, 10.0f);
  std::vector<SplinePoint> points;
  for (int i = 0; i < count; ++i) points.emplace_back(dist(rng), dist(rng), dist(rng));
  return points;
}

// Runs `call` with the standard output captured and returns what it wrote.
template <typename F>
std::string CaptureOutput(F call) {
  testing::internal::CaptureStdout();
  call();
  return testing::internal::GetCapturedStdout();
}

const char kBadU[] = "ERROR: bad u value!\n";
const char kBadSegment[] = "ERROR: bad segment number!\n";
const char kBadCount[] = "ERROR: bad sample count!\n";

}  // namespace

TEST(CardinalSplineTest, CollinearEvenlySpacedPointsStayOnTheLine) {
  for (float tension : {0.5f, 0.0f, 0.25f, 1.0f, -0.3f}) {
    CardinalSpline spline(tension);
    // P_k = (1 + 2k, -k, 0.5k): equal steps d along one line.
    for (int k = 0; k < 5; ++k) spline.AddPoint(SplinePoint(1.0f + 2 * k, -1.0f * k, 0.5f * k));
    for (unsigned int segment : {2u, 3u}) {
      for (float u : {0.0f, 0.125f, 0.3f, 0.5f, 0.71f, 1.0f}) {
        std::optional<SplinePoint> p = spline.EvaluateSegment(segment, u);
        ASSERT_TRUE(p.has_value());
        // Both tangents are 2s d, so the point is P(i-1) + w d with
        // w = u + (2s - 1)(2u^3 - 3u^2 + u): exactly u for tension 0.5.
        const double w = u + (2.0 * tension - 1.0) * (2.0 * u * u * u - 3.0 * u * u + u);
        const double t = (segment - 1) + w;
        ExpectNearPoint({1.0 + 2 * t, -t, 0.5 * t}, *p, 1e-5);
      }
    }
  }
  // Tension 0.5, points on the x axis: the middle of segment 2 is 1.5.
  CardinalSpline spline(0.5f);
  for (int k = 0; k < 4; ++k) spline.AddPoint(SplinePoint(k, 0, 0));
  std::optional<SplinePoint> p = spline.EvaluateSegment(2, 0.5f);
  ASSERT_TRUE(p.has_value());
  ExpectSamePoint(SplinePoint(1.5f, 0.0f, 0.0f), *p);
}

TEST(CardinalSplineTest, MatchesHermiteFormWithRepeatedEndPoints) {
  std::mt19937 rng(7);
  for (float tension : {0.5f, 0.0f, 0.8f}) {
    const std::vector<SplinePoint> points = RandomPoints(rng, 6);
    CardinalSpline spline(tension);
    for (const SplinePoint& p : points) spline.AddPoint(p);
    const unsigned int n = points.size();
    for (unsigned int i = 1; i < n; ++i) {
      const P3 pa = ToP3(points[i == 1 ? 0 : i - 2]);
      const P3 pb = ToP3(points[i == n - 1 ? i : i + 1]);
      for (float u : {0.1f, 0.33f, 0.5f, 0.9f, kSplineMaxSegmentU}) {
        std::optional<SplinePoint> p = spline.EvaluateSegment(i, u);
        ASSERT_TRUE(p.has_value());
        ExpectNearPoint(HermitePoint(tension, pa, ToP3(points[i - 1]), ToP3(points[i]), pb, u), *p,
                        1e-4);
      }
      // Ends: the start exactly, the end up to float rounding.
      ExpectSamePoint(points[i - 1], *spline.EvaluateSegment(i, 0.0f));
      ExpectNearPoint(ToP3(points[i]), *spline.EvaluateSegment(i, 1.0f), 1e-5);
    }
  }
  // Two control points: the one segment is shaped by P0, P0, P1, P1.
  CardinalSpline two(0.5f);
  two.AddPoint(SplinePoint(1, 1, 1));
  two.AddPoint(SplinePoint(-4.8f, 2.2f, 0));
  const P3 p0{1, 1, 1}, p1{-4.8f, 2.2f, 0};
  for (float u : {0.0f, 0.2f, 0.6f, 1.0f}) {
    ExpectNearPoint(HermitePoint(0.5, p0, p0, p1, p1, u), *two.EvaluateSegment(1, u), 1e-5);
  }
  // Dyadic points with tension 0.5 reach the end exactly.
  CardinalSpline exact(0.5f);
  for (int k = 0; k < 4; ++k) exact.AddPoint(SplinePoint(k * k, 2.5f * k, -k));
  for (unsigned int i = 1; i < 4; ++i) {
    ExpectSamePoint(exact.GetControlPoints()[i], *exact.EvaluateSegment(i, 1.0f));
  }
}

TEST(CardinalSplineTest, UsesCurrentPointsAndTension) {
  CardinalSpline spline(0.5f);
  spline.AddPoint(SplinePoint(0, 0, 0));
  spline.AddPoint(SplinePoint(1, 2, 3));
  ASSERT_TRUE(spline.EvaluateSegment(1, 0.5f).has_value());

  // New points after Clear replace the old ones on the next evaluation.
  spline.Clear();
  EXPECT_TRUE(spline.GetControlPoints().empty());
  const P3 a{5, 0, -1}, b{6, 4, 2}, c{9, 1, 1};
  spline.AddPoint(SplinePoint(a.x, a.y, a.z));
  spline.AddPoint(SplinePoint(b.x, b.y, b.z));
  spline.AddPoint(SplinePoint(c.x, c.y, c.z));
  ExpectNearPoint(HermitePoint(0.5, a, a, b, c, 0.4), *spline.EvaluateSegment(1, 0.4f), 1e-5);

  // A new tension takes effect after SetTension.
  spline.tension = 0.9f;
  spline.SetTension();
  ExpectNearPoint(HermitePoint(0.9f, a, b, c, c, 0.7f), *spline.EvaluateSegment(2, 0.7f), 1e-5);
}

TEST(CardinalSplineTest, RefusesBadParameterAndSegment) {
  CardinalSpline spline(0.5f);
  for (int k = 0; k < 3; ++k) spline.AddPoint(SplinePoint(k, 1, 0));
  std::optional<SplinePoint> result;
  {
    // The float just above 1 is accepted without a message.
    EXPECT_EQ(std::nextafter(1.0f, 2.0f), kSplineMaxSegmentU);
    EXPECT_EQ("", CaptureOutput([&] { result = spline.EvaluateSegment(2, kSplineMaxSegmentU); }));
    EXPECT_TRUE(result.has_value());
  }
  for (float u :
       {1.01f, -0.001f, std::nextafter(kSplineMaxSegmentU, 2.0f),
        std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
    EXPECT_EQ(kBadU, CaptureOutput([&] { result = spline.EvaluateSegment(1, u); })) << u;
    EXPECT_FALSE(result.has_value());
  }
  for (unsigned int segment : {0u, 3u, 4u, 1000000u}) {
    EXPECT_EQ(kBadSegment, CaptureOutput([&] { result = spline.EvaluateSegment(segment, 0.5f); }))
        << segment;
    EXPECT_FALSE(result.has_value());
  }
  {
    // The u message wins when both are bad.
    EXPECT_EQ(kBadU, CaptureOutput([&] { result = spline.EvaluateSegment(0, 2.0f); }));
    EXPECT_FALSE(result.has_value());
  }
  {
    // One control point: segment 0 (from the count) and 1 are both refused.
    CardinalSpline one(0.5f);
    one.AddPoint(SplinePoint(1, 2, 3));
    for (unsigned int segment : {0u, 1u}) {
      EXPECT_EQ(kBadSegment, CaptureOutput([&] { result = one.EvaluateSegment(segment, 0.0f); }));
      EXPECT_FALSE(result.has_value());
    }
  }
  {
    CardinalSpline none(0.5f);
    EXPECT_EQ(kBadSegment, CaptureOutput([&] { result = none.EvaluateSegment(1, 0.0f); }));
    EXPECT_FALSE(result.has_value());
  }
}

TEST(CardinalSplineTest, SampleSegmentCounts) {
  std::mt19937 rng(11);
  const std::vector<SplinePoint> points = RandomPoints(rng, 4);
  CardinalSpline spline(0.5f);
  for (const SplinePoint& p : points) spline.AddPoint(p);
  const P3 pa = ToP3(points[0]), p1 = ToP3(points[1]), p2 = ToP3(points[2]), pb = ToP3(points[3]);
  {
    const std::deque<SplinePoint>& samples = spline.SampleSegment(2, 4.0f);
    EXPECT_EQ(&spline.samples, &samples);
    ASSERT_EQ(5u, samples.size());
    ExpectSamePoint(points[1], samples[0]);
    const double us[] = {0.25, 0.5, 0.75, 1.0};
    for (int k = 0; k < 4; ++k)
      ExpectNearPoint(HermitePoint(0.5, pa, p1, p2, pb, us[k]), samples[k + 1], 1e-4);
  }
  {
    const std::deque<SplinePoint>& samples = spline.SampleSegment(2, 10.0f);
    ASSERT_EQ(11u, samples.size());
    ExpectSamePoint(points[1], samples[0]);
    // Ten float additions of 0.1 end one step above 1.
    float u = 0.0f;
    for (int k = 1; k <= 10; ++k) {
      u += 0.1f;
      ExpectSamePoint(*spline.EvaluateSegment(2, u), samples[k]);
    }
    EXPECT_EQ(kSplineMaxSegmentU, u);
    ExpectNearPoint(ToP3(points[2]), samples[10], 1e-4);
  }
  {
    // A count below 1 steps past the end at once: the start alone.
    for (float count : {0.5f, std::numeric_limits<float>::denorm_min()}) {
      const std::deque<SplinePoint>& samples = spline.SampleSegment(3, count);
      ASSERT_EQ(1u, samples.size());
      ExpectSamePoint(points[2], samples[0]);
    }
  }
  {
    // Clear keeps the samples.
    spline.SampleSegment(1, 2.0f);
    spline.Clear();
    EXPECT_EQ(3u, spline.samples.size());
  }
}

TEST(CardinalSplineTest, SampleSegmentRefusesBadInput) {
  CardinalSpline spline(0.5f);
  for (int k = 0; k < 3; ++k) spline.AddPoint(SplinePoint(0, k, 0));
  for (unsigned int segment : {0u, 3u, 7u}) {
    spline.SampleSegment(1, 3.0f);
    ASSERT_FALSE(spline.samples.empty());
    EXPECT_EQ(kBadSegment, CaptureOutput([&] { spline.SampleSegment(segment, 4.0f); })) << segment;
    EXPECT_TRUE(spline.samples.empty());
  }
  for (float count :
       {0.0f, -0.0f, -4.0f, std::numeric_limits<float>::quiet_NaN(),
        std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
        std::nextafter(kSplineMaxSampleCount, 1e30f), 1e30f}) {
    spline.SampleSegment(1, 3.0f);
    EXPECT_EQ(kBadCount, CaptureOutput([&] { spline.SampleSegment(2, count); })) << count;
    EXPECT_TRUE(spline.samples.empty());
  }
}

TEST(CardinalSplineTest, SampleSegmentAtLargestCountEndsNearTheEnd) {
  CardinalSpline spline(0.5f);
  for (int k = 0; k < 3; ++k) spline.AddPoint(SplinePoint(k, 2.0f * k, 0));
  const std::deque<SplinePoint>& samples = spline.SampleSegment(2, kSplineMaxSampleCount);
  // About one point per step (the float sum of a million steps drifts), every
  // point on the line through the collinear points, the last near the end.
  EXPECT_GT(samples.size(), 950000u);
  EXPECT_LT(samples.size(), 1050000u);
  EXPECT_NEAR(2.0, samples.back().x(), 1e-3);
  for (size_t k = 0; k < samples.size(); k += 9973) {
    EXPECT_NEAR(2.0 * samples[k].x(), samples[k].y(), 1e-4);
  }
}
