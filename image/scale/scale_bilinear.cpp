// Y = scale_bilinear(X, [ny nx]): the host entry of the bilinear scaler.

#include <cstdint>

#include "common/truncation.h"
#include "host/mex_host.h"
#include "image/scale/bilinear_resample.h"

namespace {

const char* const image_message = "X must be (Ny x Nx) in UINT8 format";
const char* const size_message = "size must be [ny nx] with ny, nx >= 0 in double format";

}  // namespace

void mexFunction(int /*nlhs*/, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    if (nrhs < 1 || host::is_empty(prhs[0]) || !host::is_real_dense_uint8(prhs[0])) {
        host::fail("scale_bilinear:invalidImage", image_message);
    }
    const mxArray* X = prhs[0];
    // Every dimension after the second counts planes (three for RGB), each
    // resampled on its own; the result keeps those dimensions.
    const int64_t Ny = host::dimension(X, 0);
    const int64_t Nx = host::dimension(X, 1);
    int64_t planes = 1;
    for (int64_t k = 2; k < host::dimension_count(X); ++k) planes *= host::dimension(X, k);

    if (nrhs < 2 || !host::is_real_dense_double(prhs[1]) || host::element_count(prhs[1]) < 2) {
        host::fail("scale_bilinear:invalidSize", size_message);
    }
    // Elements after the second are ignored. NaN, infinities and values out
    // of 32-bit range truncate to INT32_MIN and so fail with the negatives.
    const double* size = host::double_data(prhs[1]);
    const int32_t ny = truncate_to_int32(size[0]);
    const int32_t nx = truncate_to_int32(size[1]);
    if (ny < 0 || nx < 0) host::fail("scale_bilinear:invalidSize", size_message);

    host::ensure_memory(static_cast<double>(ny) * static_cast<double>(nx) * static_cast<double>(planes),
                        "scale_bilinear:outOfMemory", "out of memory for the result");
    plhs[0] = host::create_uint8_resized(X, ny, nx);
    host::run_kernel("scale_bilinear:outOfMemory", "out of memory for the working memory of the resampling", [&] {
        bilinear_resample(host::uint8_data(X), Ny, Nx, planes, host::uint8_data(plhs[0]), ny, nx);
    });
}
