// Example sampler: a 17/13/5 xorshift generator on a 32-bit word that picks
// the example of every solver step, uniformly with replacement.
//
// The stored state lives as long as the module stays loaded, so that unseeded
// calls made within the same second still start from different states.
#pragma once

#include <cstdint>

// Starts the working state of one training call: the seed itself when it is
// not 0, otherwise the stored state XOR the low 32 bits of the calendar time.
void sampler_seed(uint32_t seed);

// As sampler_seed, with the calendar time in seconds supplied by the caller.
void sampler_seed_at(uint32_t seed, int64_t now_seconds);

// Advances the working state once and returns an index in 0 .. N-1 (N >= 1).
int32_t sampler_draw(int32_t N);

// The same as count calls of sampler_draw(N), written to out[0 .. count-1];
// states[i], when states is not null, is the working state after draw i.
// Lets the solver take its draws ahead of the steps that use them.
void sampler_draw_many(int32_t N, int32_t count, int32_t* out, uint32_t* states = nullptr);

// The same draws from a working state of the caller's own, which they
// advance: threads that train models on the same draws each keep one.
int32_t sampler_draw_from(uint32_t& state, int32_t N);
void sampler_draw_many_from(uint32_t& state, int32_t N, int32_t count, int32_t* out, uint32_t* states = nullptr);

// The working state of the current call: after sampler_seed, the state the
// call starts from.
uint32_t sampler_working_state();

// Sets the working state back to one it held earlier in this call: undoes
// draws taken ahead of steps that were then not made.
void sampler_rewind(uint32_t working);

// Keeps the working state for the next call.
void sampler_store();

// The state kept by the last sampler_store (0 when the module is loaded).
uint32_t sampler_stored_state();
