#pragma once

namespace zovhost {

constexpr double kPi = 3.14159265358979323846;

}  // namespace zovhost
