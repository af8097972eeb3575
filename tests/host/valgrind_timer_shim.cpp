// Preloaded into Octave under valgrind on processors whose CPUID does not
// list RDTSCP (some virtual machines). Octave links libhwy (through its image
// libraries), whose load-time initialiser times itself with RDTSCP; the
// processor runs it, but valgrind, going by CPUID, cannot, and stops Octave
// before it starts. This stands in for that one timer query; nothing in
// Octave's or the modules' work depends on it.
#include <cstdint>

namespace hwy {
namespace platform {
uint64_t TimerResolution()
{
    return 1;
}
}  // namespace platform
}  // namespace hwy
