// G = luma_u8(RGB): the host entry of the gray converter.

#include <cstdint>

#include "host/mex_host.h"
#include "image/gray/weighted_luma.h"

namespace {

const char* const rgb_message = "rgb must be (Ny x Nx x 3) in UINT8 format";

}  // namespace

void mexFunction(int /*nlhs*/, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    if (nrhs < 1 || host::is_empty(prhs[0]) || !host::is_real_dense_uint8(prhs[0])) {
        host::fail("luma_u8:invalidImage", rgb_message);
    }
    const mxArray* rgb = prhs[0];
    // Dimensions after the third are accepted; only the first three planes are read.
    if (host::dimension_count(rgb) <= 2 || host::dimension(rgb, 2) != 3) {
        host::fail("luma_u8:invalidImage", rgb_message);
    }
    const int64_t Ny = host::dimension(rgb, 0);
    const int64_t Nx = host::dimension(rgb, 1);

    host::ensure_memory(static_cast<double>(Ny) * static_cast<double>(Nx), "luma_u8:outOfMemory",
                        "out of memory for the result");
    plhs[0] = host::create_uint8_matrix(Ny, Nx);
    host::run_kernel("luma_u8:outOfMemory", "out of memory",
                     [&] { weighted_luma(host::uint8_data(rgb), Ny * Nx, host::uint8_data(plhs[0])); });
}
