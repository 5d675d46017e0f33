// The yardstick itself, timed like every other benchmark: its x_memcpy stays near 1 unless the machine's
// load changed during the run.

#include "yardstick.h"

namespace nrbx::bench {
namespace {

void Memcpy(benchmark::State& state) {
    timeEach(state, copyYardstick);
}
BENCHMARK(Memcpy)->UseManualTime();

}  // namespace
}  // namespace nrbx::bench
