// Y = resize_image(X, scale | [ny nx], method, 'Name', value, ...): the host
// entry of the imresize-style resizer.

#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>

#include "host/host.h"
#include "image/resize/resize_weights.h"
#include "image/resize/separable_resize.h"

namespace {

const char* const image_message =
    "X must be a nonempty real array of class uint8, uint16, int16, int8, int32, uint32, single, double or logical";
const char* const size_message =
    "the size must be a scale factor (finite and > 0) or [ny nx] (whole numbers >= 0, one of them may be NaN), "
    "as real numbers";
const char* const range_message = "the output must have fewer than 2^31 rows and columns";

constexpr double size_limit = 2147483648.0;  // 2^31

constexpr host::ImageClasses image_classes = host::image_classes(
    {host::ElementClass::uint8, host::ElementClass::uint16, host::ElementClass::int16, host::ElementClass::int8,
     host::ElementClass::int32, host::ElementClass::uint32, host::ElementClass::single,
     host::ElementClass::double_precision, host::ElementClass::logical});

enum class ResizeOption { scale, output_size, method, antialiasing };

// The options by the names the messages quote.
const struct {
    const char* name;
    ResizeOption option;
} option_names[] = {{"Scale", ResizeOption::scale},
                    {"OutputSize", ResizeOption::output_size},
                    {"Method", ResizeOption::method},
                    {"Antialiasing", ResizeOption::antialiasing}};

// The names of a table as the messages list them, "a, b or c" (`last` joins
// the last two), each between `quote`s.
struct NameList {
    char text[160] = {};

    template <class Table>
    NameList(const Table& table, const char* quote, const char* last)
    {
        const size_t count = std::size(table);
        size_t at = 0;
        for (size_t k = 0; k < count; ++k) {
            const char* separator = k == 0 ? "" : k + 1 == count ? last : ", ";
            at += static_cast<size_t>(
                std::snprintf(text + at, sizeof text - at, "%s%s%s%s", separator, quote, table[k].name, quote));
        }
    }
};

// "nearest, bilinear, ... or lanczos3"
const char* method_list()
{
    static const NameList list(resize_method_names, "", " or ");
    return list.text;
}

// "'Scale', 'OutputSize', 'Method' or 'Antialiasing'", with " and " for `all`.
const char* option_list(bool all)
{
    static const NameList any(option_names, "'", " or ");
    static const NameList every(option_names, "'", " and ");
    return all ? every.text : any.text;
}

// A name given as text, cut short to fit (ending "..." when cut): matched
// ignoring case, quoted in lower case.
struct Name {
    char text[32];
    char quoted[32];

    explicit Name(const host::Value& value)
    {
        host::copy_text_for_message(value, text, sizeof text);
        for (size_t c = 0;; ++c) {
            quoted[c] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[c])));
            if (text[c] == '\0') break;
        }
    }
};

bool method_named(const Name& name, ResizeMethod* method)
{
    auto find = [&](const auto& table) {
        for (const ResizeMethodName& entry : table) {
            if (host::equal_ignoring_case(name.text, entry.name)) {
                *method = entry.method;
                return true;
            }
        }
        return false;
    };
    return find(resize_method_names) || find(resize_method_aliases);
}

bool option_named(const Name& name, ResizeOption* option)
{
    for (const auto& entry : option_names) {
        if (host::equal_ignoring_case(name.text, entry.name)) {
            *option = entry.option;
            return true;
        }
    }
    return false;
}

// Where the size came from: the argument after X (a scale factor, or
// [ny nx]), Scale (a factor, or [sr sc]) or OutputSize ([ny nx]).
enum class SizeKind { argument, scale, output_size };

struct Request {
    bool has_size = false;
    host::Value size;
    SizeKind size_kind = SizeKind::argument;
    ResizeMethod method = ResizeMethod::bicubic;
    // Unless given: on for every method but nearest, as imresize.
    bool antialias_given = false;
    bool antialias = true;
};

ResizeMethod read_method(const host::Value& value)
{
    if (!host::is_text(value)) {
        host::fail("resize_image:invalidMethod", host::Message("the method must be text: %s", method_list()).text);
    }
    const Name name(value);
    ResizeMethod method;
    if (!method_named(name, &method)) {
        host::fail("resize_image:invalidMethod",
                   host::Message("unknown method '%s': use %s", name.quoted, method_list()).text);
    }
    return method;
}

bool read_antialiasing(const host::Value& value)
{
    double flag = 0.0;
    if (host::read_scalar(value, &flag) != host::ScalarStatus::present || host::element_count(value) != 1 ||
        !(flag == 0.0 || flag == 1.0)) {
        host::fail("resize_image:invalidOption", "Antialiasing must be true or false (a scalar 1 or 0)");
    }
    return flag == 1.0;
}

// Scale or OutputSize, each instead of the size argument and of the other.
void read_size_option(const host::Value& value, SizeKind kind, Request& request)
{
    if (request.has_size) {
        host::fail("resize_image:invalidOption",
                   "the size is given twice (as an argument, as Scale or as OutputSize: give one of them)");
    }
    const int64_t count = host::is_real_numbers(value) ? host::element_count(value) : 0;
    if (kind == SizeKind::output_size && count != 2) host::fail("resize_image:invalidSize", "OutputSize must be [ny nx]");
    if (kind == SizeKind::scale && count != 1 && count != 2) {
        host::fail("resize_image:invalidSize", "Scale must be a scale factor or [sr sc] (finite and > 0)");
    }
    request.has_size = true;
    request.size = value;
    request.size_kind = kind;
}

ResizeOption read_option_name(const host::Value& value)
{
    if (!host::is_text(value)) {
        host::fail("resize_image:invalidOption",
                   host::Message("options are given as name/value pairs: %s", option_list(false)).text);
    }
    const Name name(value);
    ResizeOption option;
    if (option_named(name, &option)) return option;
    if (ResizeMethod ignored; method_named(name, &ignored)) {
        host::fail("resize_image:invalidOption",
                   host::Message("'%s' stands where an option name belongs: a method comes right after the size, "
                                 "before the name/value pairs",
                                 name.quoted)
                       .text);
    }
    host::fail("resize_image:invalidOption",
               host::Message("unknown option '%s': the options are %s", name.quoted, option_list(true)).text);
}

// Reads the arguments after X: the size, unless the second argument is
// text; a method when an odd number of arguments follows; then name/value
// pairs.
Request read_request(const host::Call& call)
{
    Request request;
    const int count = call.argument_count();
    int k = 1;
    if (k < count && !host::is_text(call.argument(k))) {
        // imresize(X, map, ...) resizes an indexed image and its colour map.
        const host::Value size = call.argument(k);
        if (host::is_real_dense_double(size) && host::dimension_count(size) == 2 && host::dimension(size, 1) == 3 &&
            host::dimension(size, 0) >= 2) {
            host::fail("resize_image:indexedImage",
                       "the second argument looks like a colour map: resize_image does not resize indexed images; "
                       "convert with ind2rgb (X, map) first, and resize the RGB image");
        }
        request.has_size = true;
        request.size = call.argument(k);
        ++k;
    }
    if ((count - k) % 2 == 1) request.method = read_method(call.argument(k++));
    for (; k < count; k += 2) {
        const ResizeOption option = read_option_name(call.argument(k));
        const host::Value value = call.argument(k + 1);
        switch (option) {
        case ResizeOption::method:
            request.method = read_method(value);
            break;
        case ResizeOption::antialiasing:
            request.antialias = read_antialiasing(value);
            request.antialias_given = true;
            break;
        case ResizeOption::scale:
            read_size_option(value, SizeKind::scale, request);
            break;
        case ResizeOption::output_size:
            read_size_option(value, SizeKind::output_size, request);
            break;
        }
    }
    if (!request.antialias_given) request.antialias = request.method != ResizeMethod::nearest;
    return request;
}

struct OutputShape {
    int64_t ny;
    int64_t nx;
    double scale_rows;
    double scale_columns;
};

// The output size and the scale of each dimension, as imresize gives them.
OutputShape output_shape(const host::Value& size, SizeKind kind, int64_t Ny, int64_t Nx)
{
    if (!host::is_real_numbers(size) || host::is_empty(size) || host::element_count(size) > 2) {
        host::fail("resize_image:invalidSize", size_message);
    }
    OutputShape shape{};
    if (host::element_count(size) == 1 || kind == SizeKind::scale) {
        const double scale_rows = host::number_at(size, 0);
        const double scale_columns = host::number_at(size, host::element_count(size) - 1);
        for (const double factor : {scale_rows, scale_columns}) {
            if (!(factor > 0.0) || !std::isfinite(factor)) {
                host::fail("resize_image:invalidSize", kind == SizeKind::scale && host::element_count(size) == 2
                                                           ? "Scale must be a scale factor or [sr sc] (finite and > 0)"
                                                           : size_message);
            }
        }
        const double ny = std::ceil(scale_rows * static_cast<double>(Ny));
        const double nx = std::ceil(scale_columns * static_cast<double>(Nx));
        if (!(ny < size_limit && nx < size_limit)) host::fail("resize_image:invalidSize", range_message);
        return {static_cast<int64_t>(ny), static_cast<int64_t>(nx), scale_rows, scale_columns};
    }
    double ny = host::number_at(size, 0);
    double nx = host::number_at(size, 1);
    const bool free_rows = std::isnan(ny);
    const bool free_columns = std::isnan(nx);
    auto whole = [](double v) { return std::isfinite(v) && v >= 0.0 && v == std::floor(v); };
    if ((free_rows && free_columns) || (!free_rows && !whole(ny)) || (!free_columns && !whole(nx))) {
        host::fail("resize_image:invalidSize", size_message);
    }
    if (!free_rows && !(ny < size_limit)) host::fail("resize_image:invalidSize", range_message);
    if (!free_columns && !(nx < size_limit)) host::fail("resize_image:invalidSize", range_message);
    // One NaN: both dimensions take the other's scale (imresize's rule).
    shape.scale_rows = free_rows ? nx / static_cast<double>(Nx) : ny / static_cast<double>(Ny);
    shape.scale_columns = free_columns ? ny / static_cast<double>(Ny) : nx / static_cast<double>(Nx);
    if (free_rows) ny = std::ceil(static_cast<double>(Ny) * shape.scale_rows);
    if (free_columns) nx = std::ceil(static_cast<double>(Nx) * shape.scale_columns);
    if (!(ny < size_limit && nx < size_limit)) host::fail("resize_image:invalidSize", range_message);
    shape.ny = static_cast<int64_t>(ny);
    shape.nx = static_cast<int64_t>(nx);
    return shape;
}

// A scale so small that an output pixel would reach too far (a widened
// kernel, or a centre far past the image) is refused before any work.
void check_reach(const OutputShape& shape, const Request& request, int64_t Ny, int64_t Nx)
{
    if (!resize_reach_fits(Ny, shape.ny, shape.scale_rows, request.method, request.antialias) ||
        !resize_reach_fits(Nx, shape.nx, shape.scale_columns, request.method, request.antialias)) {
        host::fail("resize_image:invalidSize",
                   "the scale is too small: an output pixel would reach more than 2^24 input pixels to each side "
                   "or past the image (resize in steps, or with antialiasing off)");
    }
}

template <class E>
void resize(const host::ImageArgument& image, host::Result& Y, const OutputShape& shape, const Request& request)
{
    host::run_kernel("resize_image:outOfMemory", "out of memory for the working memory of the resizing", [&] {
        const ResizeTaps rows = resize_taps(image.rows, shape.ny, shape.scale_rows, request.method, request.antialias);
        const ResizeTaps columns =
            resize_taps(image.columns, shape.nx, shape.scale_columns, request.method, request.antialias);
        separable_resize(host::element_data<E>(image.array), image.rows, image.columns, image.planes,
                         host::element_data<E>(Y), rows, columns);
    });
}

void resize_image_entry(host::Call& call)
{
    const host::ImageArgument image = host::image_argument(call, image_classes, "resize_image:invalidImage", image_message);

    const Request request = read_request(call);
    if (!request.has_size) {
        host::fail("resize_image:invalidSize", "the scale factor or the size [ny nx] is missing");
    }
    const OutputShape shape = output_shape(request.size, request.size_kind, image.rows, image.columns);
    check_reach(shape, request, image.rows, image.columns);

    host::Result Y = host::create_image_result(image, shape.ny, shape.nx, "resize_image:outOfMemory");
    // An empty result has nothing to compute.
    if (shape.ny > 0 && shape.nx > 0) {
        host::visit_element_type<image_classes>(image.element_class, [&](auto element) {
            resize<typename decltype(element)::type>(image, Y, shape, request);
        });
    }
    call.set_result(0, Y);
}

}  // namespace

HOST_ENTRY(resize_image, resize_image_entry)
