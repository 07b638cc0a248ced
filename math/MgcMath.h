#pragma once

namespace Mgc {

/// Scalar helpers of the math library: clamped inverse trigonometry, signs,
/// polynomial approximations and pseudo-random numbers on the process-wide
/// C-runtime generator (platform/CRandom.h).
class Math {
 public:
  /// The largest finite double.
  static const double MAX_REAL;
  static const double PI;
  static const double TWO_PI;
  static const double HALF_PI;

  /// acos clamped to its domain: x <= -1 gives pi, x >= 1 gives 0.
  static double ACos(double x);
  /// asin clamped to its domain: x <= -1 gives -pi/2, x >= 1 gives pi/2.
  static double ASin(double x);
  static double ATan(double x);
  static double ATan2(double y, double x);
  static double Ceil(double x);
  static double Cos(double x);
  static double Exp(double x);
  static double FAbs(double x);
  static double Floor(double x);
  static double Log(double x);
  static double Pow(double base, double exponent);
  static double Sin(double x);
  static double Sqrt(double x);
  static double Tan(double x);
  static double Sqr(double x) { return x * x; }
  /// 1/sqrt(x), without a guard for 0.
  static double InvSqrt(double x);
  static int Sign(int x);
  /// 1.0, -1.0, or 0.0 for zero and NaN.
  static double Sign(double x);
  /// A crude square root through the single-precision exponent bits.
  static double FastSqrt(double x);

  /// rand()/32767 in [0, 1]; a positive seed reseeds the generator first
  /// (truncated to an integer), 0 or below keeps the running sequence.
  static double UnitRandom(double seed = 0.0);
  /// 2*rand()/32767 - 1 in [-1, 1], seeded as UnitRandom.
  static double SymmetricRandom(double seed = 0.0);
  /// min + (max - min)*rand()/32767, seeded as UnitRandom.
  static double IntervalRandom(double min, double max, double seed = 0.0);
  /// A normal deviate by the polar method: the mean of the pair of deviates
  /// one accepted draw yields. Never reseeds.
  static double GaussRandom(double mean, double stddev, double seed = 0.0);

  // Polynomial approximations; none reduces or checks its argument.
  static double FastSin0(double x);
  static double FastSin1(double x);
  static double FastCos0(double x);
  static double FastCos1(double x);
  static double FastTan0(double x);
  static double FastTan1(double x);
  static double FastInvSin(double x);
  static double FastInvCos(double x);
  static double FastInvTan0(double x);
  static double FastInvTan1(double x);
};

}  // namespace Mgc
