#include <maya/MTimer.h>

#include <chrono>

namespace {

double nowSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

MTimer::MTimer() = default;

void MTimer::beginTimer() { m_begin = m_end = nowSeconds(); }

void MTimer::endTimer() { m_end = nowSeconds(); }

double MTimer::elapsedTime() { return m_end - m_begin; }

void MTimer::clear() { m_begin = m_end = 0.0; }
