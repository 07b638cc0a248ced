#pragma once

// The processor count that sizes the collision workers. It answers through the
// OpenMP runtime; tests override it so that 1, 2, 4 and 8 workers can be
// exercised on any machine.
namespace zov::platform {

/// Number of processors: the override when one is set, else omp_get_num_procs().
int processorCount();

/// Makes processorCount answer `count`; 0 or below removes the override.
void setProcessorCountOverride(int count);

}  // namespace zov::platform
