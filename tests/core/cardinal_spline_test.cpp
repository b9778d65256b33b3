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

P3 ToP3(const SplinePoint& p) { return {p.x(), p.y(), p.z()}; }

// The point of segment i (1-based) of `points` at u, written independently in
// Hermite form: from P(i-1) to P(i) with the tangents s (P(i) - P(i-2)) and
// s (P(i+1) - P(i-1)), the end points standing in for missing neighbours.
P3 Expected(double s, const std::vector<SplinePoint>& points, size_t i, double u) {
  const P3 p0 = ToP3(points[i == 1 ? 0 : i - 2]), p1 = ToP3(points[i - 1]), p2 = ToP3(points[i]),
           p3 = ToP3(points[i == points.size() - 1 ? i : i + 1]);
  const double h00 = 2 * u * u * u - 3 * u * u + 1, h10 = u * u * u - 2 * u * u + u;
  const double h01 = -2 * u * u * u + 3 * u * u, h11 = u * u * u - u * u;
  auto blend = [&](double a, double b, double c, double d) {
    return h00 * b + h10 * s * (c - a) + h01 * c + h11 * s * (d - b);
  };
  return {blend(p0.x, p1.x, p2.x, p3.x), blend(p0.y, p1.y, p2.y, p3.y),
          blend(p0.z, p1.z, p2.z, p3.z)};
}

void ExpectNearPoint(const P3& expected, const SplinePoint& actual, double tolerance) {
  EXPECT_NEAR(expected.x, actual.x(), tolerance);
  EXPECT_NEAR(expected.y, actual.y(), tolerance);
  EXPECT_NEAR(expected.z, actual.z(), tolerance);
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

TEST(CardinalSplineTest, MatchesHermiteFormWithRepeatedEndPoints) {
  std::mt19937 rng(7);
  for (float tension : {0.5f, 0.0f, 0.8f}) {
    // Two points: the one segment is shaped by P0, P0, P1, P1.
    for (int count : {2, 6}) {
      const std::vector<SplinePoint> points = RandomPoints(rng, count);
      CardinalSpline spline(tension);
      for (const SplinePoint& p : points) spline.AddPoint(p);
      for (size_t i = 1; i < points.size(); ++i) {
        for (float u : {0.1f, 0.33f, 0.5f, 0.9f, 1.0f, kSplineMaxSegmentU}) {
          std::optional<SplinePoint> p = spline.EvaluateSegment(i, u);
          ASSERT_TRUE(p.has_value());
          ExpectNearPoint(Expected(tension, points, i, u), *p, 1e-4);
        }
        ExpectNearPoint(ToP3(points[i - 1]), *spline.EvaluateSegment(i, 0.0f), 0.0);
      }
    }
  }
  // Nothing is cached: new points after Clear, and a new tension after
  // SetTension, apply to the next evaluation.
  CardinalSpline spline(0.5f);
  spline.AddPoint(SplinePoint(0, 0, 0));
  spline.AddPoint(SplinePoint(1, 2, 3));
  ASSERT_TRUE(spline.EvaluateSegment(1, 0.5f).has_value());
  spline.Clear();
  const std::vector<SplinePoint> points = {{5, 0, -1}, {6, 4, 2}, {9, 1, 1}};
  for (const SplinePoint& p : points) spline.AddPoint(p);
  ExpectNearPoint(Expected(0.5, points, 1, 0.4), *spline.EvaluateSegment(1, 0.4f), 1e-5);
  spline.tension = 0.9f;
  spline.SetTension();
  ExpectNearPoint(Expected(0.9f, points, 2, 0.7f), *spline.EvaluateSegment(2, 0.7f), 1e-5);
}

TEST(CardinalSplineTest, RefusesBadParameterAndSegment) {
  CardinalSpline none(0.5f), one(0.5f), three(0.5f);
  one.AddPoint(SplinePoint(1, 2, 3));
  for (int k = 0; k < 3; ++k) three.AddPoint(SplinePoint(k, 1, 0));
  // The message written; a point comes back exactly when there is none.
  auto message = [](CardinalSpline& spline, unsigned int segment, float u) {
    std::optional<SplinePoint> result;
    const std::string text = CaptureOutput([&] { result = spline.EvaluateSegment(segment, u); });
    EXPECT_EQ(result.has_value(), text.empty()) << segment << " " << u;
    return text;
  };
  EXPECT_EQ("", message(three, 2, kSplineMaxSegmentU));  // the float just above 1
  for (float u : {-0.001f, std::nextafter(kSplineMaxSegmentU, 2.0f),
                  std::numeric_limits<float>::quiet_NaN()}) {
    EXPECT_EQ(kBadU, message(three, 1, u)) << u;
  }
  EXPECT_EQ(kBadU, message(three, 0, 2.0f));  // the u message wins when both are bad
  EXPECT_EQ(kBadSegment, message(three, 0, 0.5f));
  EXPECT_EQ(kBadSegment, message(three, 3, 0.5f));
  EXPECT_EQ(kBadSegment, message(one, 1, 0.0f));
  EXPECT_EQ(kBadSegment, message(none, 1, 0.0f));
}

TEST(CardinalSplineTest, SampleSegment) {
  std::mt19937 rng(11);
  const std::vector<SplinePoint> points = RandomPoints(rng, 4);
  CardinalSpline spline(0.5f);
  for (const SplinePoint& p : points) spline.AddPoint(p);
  // The start, then the points at u accumulated by float addition of 1 / 10:
  // the tenth ends one step above 1, and that point is kept.
  const std::deque<SplinePoint>& ten = spline.SampleSegment(2, 10.0f);
  EXPECT_EQ(&spline.samples, &ten);
  ASSERT_EQ(11u, ten.size());
  ExpectNearPoint(ToP3(points[1]), ten[0], 0.0);
  float u = 0.0f;
  for (int k = 1; k <= 10; ++k) {
    ExpectNearPoint(ToP3(*spline.EvaluateSegment(2, u += 0.1f)), ten[k], 0.0);
  }
  EXPECT_EQ(kSplineMaxSegmentU, u);
  // A count below 1 steps past the end at once: the start alone.
  for (float count : {0.5f, std::numeric_limits<float>::denorm_min()}) {
    ASSERT_EQ(1u, spline.SampleSegment(3, count).size());
    ExpectNearPoint(ToP3(points[2]), spline.samples[0], 0.0);
  }

  // A refusal writes its message and leaves no samples.
  auto refusal = [&](unsigned int segment, float count) {
    spline.SampleSegment(1, 3.0f);
    const std::string message = CaptureOutput([&] { spline.SampleSegment(segment, count); });
    EXPECT_TRUE(spline.samples.empty());
    return message;
  };
  EXPECT_EQ(kBadSegment, refusal(0, 4.0f));
  EXPECT_EQ(kBadSegment, refusal(4, 4.0f));
  const float inf = std::numeric_limits<float>::infinity();
  for (float count : {0.0f, -4.0f, std::numeric_limits<float>::quiet_NaN(), inf, -inf,
                      std::nextafter(kSplineMaxSampleCount, inf)}) {
    EXPECT_EQ(kBadCount, refusal(2, count)) << count;
  }

  // The largest count: about one point per step (the float sum of a million
  // steps drifts), the last near the end. Clear keeps the samples.
  const size_t count = spline.SampleSegment(2, kSplineMaxSampleCount).size();
  EXPECT_GT(count, 950000u);
  EXPECT_LT(count, 1050000u);
  ExpectNearPoint(ToP3(points[2]), spline.samples.back(), 1e-3);
  spline.Clear();
  EXPECT_EQ(count, spline.samples.size());
}

}  // namespace
