// resize_image's kernels (the weights and the separable loop, as one call
// makes them) against cv::resize on the same 1920x1080 photograph-like
// images, gray and colour, each on one thread; and the default threads
// against one. Times are the best of several calls, the calls of the cases
// interleaved round after round so that a busy moment of the machine does
// not fall on one case alone.
//
// Usage: bench_resize [--quick] [--write=DIR]
//   --write=DIR  writes the images (gray.raw: 1080 x 1920 bytes row after
//                row; rgb.raw: 1080 x 1920 x 3 interleaved) and the times
//                (times.txt: "name seconds" per line) for
//                bench/pillow_rows.py and bench/peer_agreement.m.
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "bench/photo_like.h"
#include "common/parallel.h"
#include "image/resize/separable_resize.h"

namespace {

constexpr int rows = 1080;
constexpr int cols = 1920;
const double factors[] = {0.5, 0.8, 1.25, 2.0};

struct Method {
    ResizeMethod method;
    int opencv;                // the cv::resize interpolation doing the same work, or -1
    const char* opencv_name;  // as the rows name it
    const char* name() const { return resize_method_name(method); }
};
const Method methods[] = {{ResizeMethod::bilinear, cv::INTER_LINEAR, "INTER_LINEAR"},
                          {ResizeMethod::bicubic, cv::INTER_CUBIC, "INTER_CUBIC"},
                          {ResizeMethod::lanczos3, -1, ""},
                          {ResizeMethod::box, -1, ""},
                          {ResizeMethod::nearest, cv::INTER_NEAREST_EXACT, "INTER_NEAREST_EXACT"}};

struct Image {
    const char* name;
    int planes;
    std::vector<uint8_t> planar;  // column-major planes, as Octave holds them
    cv::Mat interleaved;          // row-major, as OpenCV and Pillow hold them
};

Image make_image(const char* name, int planes)
{
    Image image{name, planes, {}, cv::Mat(rows, cols, CV_8UC(planes))};
    for (int p = 0; p < planes; ++p) {
        const std::vector<uint8_t> plane =
            planes == 1 ? photo_like_plane(rows, cols, 21, 0) : photo_like_plane(rows, cols, 11u + p, p);
        image.planar.insert(image.planar.end(), plane.begin(), plane.end());
        for (int r = 0; r < rows; ++r) {
            for (int c = 0; c < cols; ++c) image.interleaved.ptr<uint8_t>(r)[c * planes + p] = plane[r + c * rows];
        }
    }
    return image;
}

struct Case {
    std::string name;
    std::function<void()> run;
    double best = INFINITY;
};

// One resize_image call's kernel work: both tap tables, then the loop.
void resize_call(const Image& image, std::vector<uint8_t>& out, double factor, ResizeMethod method, bool antialias,
                 int threads)
{
    const int64_t ny = static_cast<int64_t>(std::ceil(factor * rows));
    const int64_t nx = static_cast<int64_t>(std::ceil(factor * cols));
    const ResizeTaps row_taps = resize_taps(rows, ny, factor, method, antialias);
    const ResizeTaps column_taps = resize_taps(cols, nx, factor, method, antialias);
    separable_resize_split(separable_resize_chosen<uint8_t>().resize, image.planar.data(), rows, cols, image.planes,
                           out.data(), row_taps, column_taps, threads, threads == 1 ? INT64_MAX : int64_t{1} << 17);
}

}  // namespace

int main(int argc, char** argv)
{
    bool quick = false;
    const char* write_dir = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) quick = true;
        if (std::strncmp(argv[i], "--write=", 8) == 0) write_dir = argv[i] + 8;
    }
    cv::setNumThreads(1);
    const Image gray = make_image("gray", 1);
    const Image rgb = make_image("colour", 3);
    const int threads = kernel_threads();

    std::vector<Case> cases;
    std::map<std::string, std::vector<uint8_t>> outputs;
    for (const Image* image : {&gray, &rgb}) {
        for (double factor : factors) {
            const int ny = static_cast<int>(std::ceil(factor * rows));
            const int nx = static_cast<int>(std::ceil(factor * cols));
            std::vector<uint8_t>& out = outputs[std::string(image->name) + factor_tag(factor)];
            out.resize(static_cast<size_t>(ny) * nx * image->planes);
            for (const Method& m : methods) {
                for (bool antialias : {true, false}) {
                    if (!antialias && (factor > 1.0 || m.method == ResizeMethod::nearest)) continue;  // the same work
                    const std::string name = std::string("ours/") + image->name + "/" + m.name() +
                                             (antialias ? "" : "/noaa") + "/" + factor_tag(factor);
                    // Nearest keeps 'Antialiasing' off, its default and what cv::resize does.
                    const bool widened = antialias && m.method != ResizeMethod::nearest;
                    cases.push_back({name, [=, &out] { resize_call(*image, out, factor, m.method, widened, 1); }});
                    if (antialias && threads > 1 && m.method == ResizeMethod::bicubic) {
                        cases.push_back(
                            {std::string("threads/") + image->name + "/" + m.name() + "/" + factor_tag(factor),
                             [=, &out] { resize_call(*image, out, factor, m.method, true, threads); }});
                    }
                }
                if (m.opencv >= 0) {
                    cases.push_back({std::string("opencv/") + image->name + "/" + m.name() + "/" + factor_tag(factor),
                                     [=] {
                                         static thread_local cv::Mat Y;
                                         cv::resize(image->interleaved, Y, cv::Size(nx, ny), 0, 0, m.opencv);
                                     }});
                }
            }
        }
    }
    const int rounds = quick ? 3 : 9;
    std::fprintf(stderr, "bench_resize: %zu cases, %d rounds", cases.size(), rounds);
    for (int round = 0; round < rounds; ++round) {
        for (Case& c : cases) {
            const auto start = std::chrono::steady_clock::now();
            c.run();
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            c.best = std::min(c.best, took.count());
        }
        std::fputc('.', stderr);
    }
    std::fputc('\n', stderr);
    std::map<std::string, double> best;
    for (const Case& c : cases) best[c.name] = c.best;

    std::string variants;
    for (const ResizeVariant<uint8_t>& v : separable_resize_variants<uint8_t>()) {
        variants += (variants.empty() ? "" : ", ") + std::string(v.name);
    }
    std::printf("resize_image's kernels: variants run (widest first) %s; default threads %d; OpenCV %s on 1 thread\n\n",
                variants.empty() ? "plain" : variants.c_str(), threads, CV_VERSION);
    print_table_header();
    auto ms = [](double seconds) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
        return std::string(text);
    };
    for (const Image* image : {&gray, &rgb}) {
        for (const Method& m : methods) {
            if (m.opencv < 0) continue;
            for (double factor : factors) {
                for (bool antialias : {true, false}) {
                    // cv::resize never antialiases: the same work only when enlarging or with ours off.
                    if (factor < 1.0 && antialias && m.method != ResizeMethod::nearest) continue;
                    if (!antialias && (factor > 1.0 || m.method == ResizeMethod::nearest)) continue;
                    const std::string suffix = std::string(image->name) + "/" + m.name();
                    const double ours = best["ours/" + suffix + (antialias ? "" : "/noaa") + "/" + factor_tag(factor)];
                    const double peer = best["opencv/" + suffix + "/" + factor_tag(factor)];
                    const std::string case_ = std::string(image->name) + " 1 thread, " + m.name() +
                                              (antialias ? "" : " 'Antialiasing' false") + " vs cv::resize " +
                                              m.opencv_name + " 1 thread, 1920x1080 x " + factor_tag(factor);
                    print_row("separable_resize", case_, ms(ours), ms(peer), peer / ours);
                }
            }
        }
        if (threads > 1) {
            for (double factor : factors) {
                const double one = best[std::string("ours/") + image->name + "/bicubic/" + factor_tag(factor)];
                const double many = best[std::string("threads/") + image->name + "/bicubic/" + factor_tag(factor)];
                print_row("separable_resize",
                          std::string(image->name) + " bicubic, " + std::to_string(threads) +
                              " threads vs 1 thread, 1920x1080 x " + factor_tag(factor),
                          ms(many), ms(one), one / many);
            }
        }
    }
    if (write_dir != nullptr) {
        const std::string dir = write_dir;
        for (const Image* image : {&gray, &rgb}) {
            const std::string path = dir + "/" + (image->planes == 1 ? "gray" : "rgb") + ".raw";
            std::FILE* file = std::fopen(path.c_str(), "wb");
            if (file == nullptr) return 1;
            std::fwrite(image->interleaved.data, 1, static_cast<size_t>(rows) * cols * image->planes, file);
            std::fclose(file);
        }
        std::FILE* file = std::fopen((dir + "/times.txt").c_str(), "w");
        if (file == nullptr) return 1;
        for (const auto& [name, seconds] : best) std::fprintf(file, "%s %.9g\n", name.c_str(), seconds);
        std::fclose(file);
    }
    return 0;
}
