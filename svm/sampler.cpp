#include "svm/sampler.h"

#include <cmath>
#include <ctime>

namespace {
uint32_t stored_state = 0;
uint32_t working_state = 0;

inline uint32_t advance(uint32_t s)
{
    s ^= s << 17;
    s ^= s >> 13;
    s ^= s << 5;
    return s;
}

inline int32_t index_from(uint32_t s, int32_t N)
{
    // 2.328306e-10 sits just below 2^-32, which keeps u strictly inside (0, 1).
    const double u = static_cast<double>(static_cast<int32_t>(s)) * 2.328306e-10 + 0.5;
    return static_cast<int32_t>(std::floor(u * static_cast<double>(N)));
}
}  // namespace

void sampler_seed(uint32_t seed)
{
    sampler_seed_at(seed, static_cast<int64_t>(std::time(nullptr)));
}

void sampler_seed_at(uint32_t seed, int64_t now_seconds)
{
    if (seed != 0) {
        working_state = seed;
    } else {
        working_state = stored_state ^ static_cast<uint32_t>(now_seconds);
    }
}

int32_t sampler_draw(int32_t N)
{
    return sampler_draw_from(working_state, N);
}

void sampler_draw_many(int32_t N, int32_t count, int32_t* out, uint32_t* states)
{
    sampler_draw_many_from(working_state, N, count, out, states);
}

int32_t sampler_draw_from(uint32_t& state, int32_t N)
{
    state = advance(state);
    return index_from(state, N);
}

void sampler_draw_many_from(uint32_t& state, int32_t N, int32_t count, int32_t* out, uint32_t* states)
{
    uint32_t s = state;
    for (int32_t i = 0; i < count; ++i) {
        s = advance(s);
        out[i] = index_from(s, N);
        if (states != nullptr) states[i] = s;
    }
    state = s;
}

uint32_t sampler_working_state()
{
    return working_state;
}

void sampler_rewind(uint32_t working)
{
    working_state = working;
}

void sampler_store()
{
    stored_state = working_state;
}

uint32_t sampler_stored_state()
{
    return stored_state;
}
