// Y = scale_bilinear(X, [ny nx]) or scale_bilinear(X, s): the host entry of
// the bilinear scaler.

#include <cmath>
#include <cstdint>

#include "common/truncation.h"
#include "host/host.h"
#include "image/scale/bilinear_resample.h"

namespace {

const char* const image_message = "X must be (Ny x Nx) in UINT8, UINT16, INT16, SINGLE or DOUBLE format";
const char* const size_message =
    "size must be [ny nx] with ny, nx >= 0 (one of them may be NaN) or a scale factor, as real numbers";
const char* const factor_message = "scale factor must be finite and > 0, and give fewer than 2^31 rows and columns";

constexpr host::ImageClasses image_classes =
    host::image_classes({host::ElementClass::uint8, host::ElementClass::uint16, host::ElementClass::int16,
                         host::ElementClass::single, host::ElementClass::double_precision});

// ceil(value) as a size, or -1 when it is 2^31 or more (infinity included).
int32_t size_above(double value)
{
    const double size = std::ceil(value);
    return size < 2147483648.0 ? static_cast<int32_t>(size) : -1;
}

// The output size for a size argument of `count` (at least 1) elements and
// an image of Ny x Nx (at least 1 x 1) per plane; the message of the error
// it raises otherwise, else null.
const char* output_size(const double* size, int64_t count, int64_t Ny, int64_t Nx, int32_t& ny, int32_t& nx)
{
    if (count == 1) {
        // A scale factor: both products formed in double, then rounded up.
        // Ny, Nx >= 1, so a finite factor > 0 gives sizes of at least 1.
        const double factor = size[0];
        if (!(factor > 0.0) || !std::isfinite(factor)) return factor_message;
        ny = size_above(factor * static_cast<double>(Ny));
        nx = size_above(factor * static_cast<double>(Nx));
        return ny < 0 || nx < 0 ? factor_message : nullptr;
    }
    // Elements after the second are ignored. NaN (only one of the two) takes
    // the other size's ratio; infinities and values out of 32-bit range
    // truncate to INT32_MIN and so fail with the negatives.
    const bool free_rows = std::isnan(size[0]);
    const bool free_columns = std::isnan(size[1]);
    if (free_rows && free_columns) return size_message;
    ny = free_rows ? 0 : truncate_to_int32(size[0]);
    nx = free_columns ? 0 : truncate_to_int32(size[1]);
    if (ny < 0 || nx < 0) return size_message;
    // The aspect ratio of the image: the product first, then the division.
    if (free_rows) ny = size_above(static_cast<double>(nx) * static_cast<double>(Ny) / static_cast<double>(Nx));
    if (free_columns) nx = size_above(static_cast<double>(ny) * static_cast<double>(Nx) / static_cast<double>(Ny));
    return ny < 0 || nx < 0 ? size_message : nullptr;
}

template <class E>
void resample(const host::ImageArgument& image, host::Result& Y, int32_t ny, int32_t nx)
{
    host::run_kernel("scale_bilinear:outOfMemory", "out of memory for the working memory of the resampling", [&] {
        bilinear_resample(host::element_data<E>(image.array), image.rows, image.columns, image.planes,
                          host::element_data<E>(Y), ny, nx);
    });
}

void scale_bilinear_entry(host::Call& call)
{
    const int nrhs = call.argument_count();
    if (nrhs > 2) {
        host::fail("scale_bilinear:tooManyArguments",
                   "scale_bilinear takes two arguments, X and the size: it resamples by bilinear interpolation "
                   "only, with no options (resize_image offers other methods)");
    }
    const host::ImageArgument image = host::image_argument(call, image_classes, "scale_bilinear:invalidImage", image_message);

    // Any real numeric class, read as doubles (int32([10 10]), single(0.5)).
    if (nrhs < 2 || !host::is_real_numbers(call.argument(1)) || host::is_empty(call.argument(1))) {
        host::fail("scale_bilinear:invalidSize", size_message);
    }
    const host::Value size = call.argument(1);
    const int64_t size_count = host::element_count(size) < 2 ? 1 : 2;
    double size_values[2] = {};
    for (int64_t k = 0; k < size_count; ++k) size_values[k] = host::number_at(size, k);
    int32_t ny = 0;
    int32_t nx = 0;
    const char* size_error = output_size(size_values, size_count, image.rows, image.columns, ny, nx);
    if (size_error != nullptr) host::fail("scale_bilinear:invalidSize", size_error);

    // Y has the class of X.
    host::Result Y = host::create_image_result(image, ny, nx, "scale_bilinear:outOfMemory");
    host::visit_element_type<image_classes>(image.element_class, [&](auto element) {
        resample<typename decltype(element)::type>(image, Y, ny, nx);
    });
    call.set_result(0, Y);
}

}  // namespace

HOST_ENTRY(scale_bilinear, scale_bilinear_entry)
