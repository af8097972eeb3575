// G = luma_u8(RGB): the host entry of the gray converter.

#include <cstdint>

#include "host/host.h"
#include "image/gray/weighted_luma.h"

namespace {

const char* const rgb_message = "rgb must be (Ny x Nx x 3) in UINT8 format";

void luma_u8_entry(host::Call& call)
{
    if (call.argument_count() > 1) {
        host::fail("luma_u8:tooManyArguments", "luma_u8 takes one argument, the RGB image");
    }
    if (call.argument_count() < 1 || host::is_empty(call.argument(0)) || !host::is_real_dense_uint8(call.argument(0))) {
        host::fail("luma_u8:invalidImage", rgb_message);
    }
    const host::Value rgb = call.argument(0);
    // Dimensions after the third are accepted; only the first three planes are read.
    if (host::dimension_count(rgb) <= 2 || host::dimension(rgb, 2) != 3) {
        host::fail("luma_u8:invalidImage", rgb_message);
    }
    const int64_t Ny = host::dimension(rgb, 0);
    const int64_t Nx = host::dimension(rgb, 1);

    host::ensure_memory(static_cast<double>(Ny) * static_cast<double>(Nx), "luma_u8:outOfMemory",
                        "out of memory for the result");
    host::Result gray = host::create_uint8_matrix(Ny, Nx);
    host::run_kernel("luma_u8:outOfMemory", "out of memory",
                     [&] { weighted_luma(host::uint8_data(rgb), Ny * Nx, host::uint8_data(gray)); });
    call.set_result(0, gray);
}

}  // namespace

HOST_ENTRY(luma_u8, luma_u8_entry)
