#include "math/MgcMath.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "platform/CRandom.h"

namespace Mgc {

const double Math::MAX_REAL = std::numeric_limits<double>::max();
const double Math::PI = 3.14159265358979323846;
const double Math::TWO_PI = 2.0 * Math::PI;
const double Math::HALF_PI = 0.5 * Math::PI;

double Math::ACos(double x) {
  if (x <= -1.0) return PI;
  if (x >= 1.0) return 0.0;
  return std::acos(x);
}

double Math::ASin(double x) {
  if (x <= -1.0) return -HALF_PI;
  if (x >= 1.0) return HALF_PI;
  return std::asin(x);
}

double Math::ATan(double x) { return std::atan(x); }
double Math::ATan2(double y, double x) { return std::atan2(y, x); }
double Math::Ceil(double x) { return std::ceil(x); }
double Math::Cos(double x) { return std::cos(x); }
double Math::Exp(double x) { return std::exp(x); }
double Math::FAbs(double x) { return std::fabs(x); }
double Math::Floor(double x) { return std::floor(x); }
double Math::Log(double x) { return std::log(x); }
double Math::Pow(double base, double exponent) { return std::pow(base, exponent); }
double Math::Sin(double x) { return std::sin(x); }
double Math::Sqrt(double x) { return std::sqrt(x); }
double Math::Tan(double x) { return std::tan(x); }
double Math::InvSqrt(double x) { return 1.0 / std::sqrt(x); }

int Math::Sign(int x) { return x > 0 ? 1 : (x < 0 ? -1 : 0); }

double Math::Sign(double x) {
  if (x > 0.0) return 1.0;
  if (x < 0.0) return -1.0;
  return 0.0;
}

double Math::FastSqrt(double x) {
  // Halving the biased exponent of the single-precision pattern halves log2(x).
  constexpr std::int32_t kOnePattern = 0x3F800000;  // 1.0f
  float f = static_cast<float>(x);
  std::int32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  bits = ((bits - kOnePattern) >> 1) + kOnePattern;
  std::memcpy(&f, &bits, sizeof f);
  return static_cast<double>(f);
}

namespace {

constexpr double kRandMax = static_cast<double>(zov::platform::kRandMax);

void reseedIfPositive(double seed) {
  if (seed > 0.0) zov::platform::crtSrand(static_cast<unsigned int>(seed));
}

double randomValue() { return static_cast<double>(zov::platform::crtRand()); }

}  // namespace

double Math::UnitRandom(double seed) {
  reseedIfPositive(seed);
  return randomValue() / kRandMax;
}

double Math::SymmetricRandom(double seed) {
  reseedIfPositive(seed);
  return 2.0 * randomValue() / kRandMax - 1.0;
}

double Math::IntervalRandom(double min, double max, double seed) {
  reseedIfPositive(seed);
  return min + (max - min) * randomValue() / kRandMax;
}

double Math::GaussRandom(double mean, double stddev, double /*seed*/) {
  double u, v, s;
  do {
    u = 2.0 * randomValue() / kRandMax - 1.0;
    v = 2.0 * randomValue() / kRandMax - 1.0;
    s = u * u + v * v;
  } while (s >= 1.0);  // s is never 0: rand() cannot hit the midpoint 16383.5
  const double f = std::sqrt(-2.0 * std::log(s) / s);
  return mean + stddev * 0.5 * (u * f + v * f);
}

// The coefficients are single-precision constants, widened as the compiler
// widens a float literal.
#define ZOV_F(value) static_cast<double>(value##f)

namespace {

/// The polynomial with `coefficients` (the highest power first) at `t`, by
/// Horner's rule: r = c0, then r = r t + c for each further coefficient.
double horner(double t, std::initializer_list<double> coefficients) {
  const double* c = coefficients.begin();
  double r = *c;
  for (++c; c != coefficients.end(); ++c) r = r * t + *c;
  return r;
}

double invSinPolynomial(double x) {
  return std::sqrt(1.0 - x) * horner(x, {ZOV_F(-0.0187293), ZOV_F(0.074261), ZOV_F(-0.2121144), ZOV_F(1.5707288)});
}

}  // namespace

double Math::FastSin0(double x) { return x * horner(x * x, {ZOV_F(0.00761), ZOV_F(-0.16605), ZOV_F(1.0)}); }

double Math::FastSin1(double x) {
  return x * horner(x * x, {ZOV_F(-2.39e-8), ZOV_F(2.7526e-6), ZOV_F(-0.000198409), ZOV_F(0.008333332),
                            ZOV_F(-0.16666667), ZOV_F(1.0)});
}

double Math::FastCos0(double x) { return horner(x * x, {ZOV_F(0.03705), ZOV_F(-0.4967), ZOV_F(1.0)}); }

double Math::FastCos1(double x) {
  return horner(
      x * x, {ZOV_F(-2.605e-7), ZOV_F(2.47609e-5), ZOV_F(-0.0013888397), ZOV_F(0.04166664), ZOV_F(-0.5), ZOV_F(1.0)});
}

double Math::FastTan0(double x) { return x * horner(x * x, {ZOV_F(0.2033), ZOV_F(0.31755), ZOV_F(1.0)}); }

double Math::FastTan1(double x) {
  return x * horner(x * x, {ZOV_F(0.009516809), ZOV_F(0.002900525), ZOV_F(0.02456509), ZOV_F(0.05337406),
                            ZOV_F(0.1333924), ZOV_F(0.3333314), ZOV_F(1.0)});
}

double Math::FastInvSin(double x) { return HALF_PI - invSinPolynomial(x); }

double Math::FastInvCos(double x) { return invSinPolynomial(x); }

double Math::FastInvTan0(double x) {
  return x * horner(x * x, {ZOV_F(0.0208351), ZOV_F(-0.085133), ZOV_F(0.180141), ZOV_F(-0.3302995), ZOV_F(0.999866)});
}

double Math::FastInvTan1(double x) {
  return x * horner(x * x, {ZOV_F(0.0028662258), ZOV_F(-0.016165737), ZOV_F(0.042909615), ZOV_F(-0.07528964),
                            ZOV_F(0.10656264), ZOV_F(-0.142089), ZOV_F(0.19993551), ZOV_F(-0.33333147), ZOV_F(1.0)});
}

#undef ZOV_F

}  // namespace Mgc
