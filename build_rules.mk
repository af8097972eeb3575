# The build rules, written once and read by every build route: CMake
# (cmake/BuildRules.cmake), the Octave package's src/Makefile (which includes
# this file; make_package.sh ships it) and build_mex.m (Octave and MATLAB).
#
# Format, so that each of them can read it as text: one NAME = value per
# line, the value plain words separated by spaces (no make functions,
# references or continued lines); lines that start with # are comments.

# Exact arithmetic on every compile: no fused multiply-add, no relaxed IEEE
# rules, code for the plain target (never -march=native); the kernels start
# threads of their own inside a call (-pthread). GCC and Clang (MinGW-w64
# included), then Microsoft Visual C++.
EXACT_FLAGS = -std=c++17 -ffp-contract=off -fno-fast-math -pthread
EXACT_FLAGS_MSVC = /std:c++17 /fp:precise
# GCC only (Clang rejects it): GCC binds some statics as unique symbols, which
# pins a module in memory, so that the host could not unload it and
# "clear linsvm_fit" could not reset the sampler.
GCC_ONLY_FLAGS = -fno-gnu-unique

# Instruction-set variants. A file NAME_<variant>.cpp in a module's folder is
# built only when the target processor (never the build machine) is
# VARIANT_<variant>_TARGET, x86_64 or arm64, with VARIANT_<variant>_FLAGS
# added (VARIANT_<variant>_FLAGS_MSVC for Visual C++); elsewhere it is not
# built at all. The kernels choose among the variants they hold
# (common/cpu_features.h): on x86-64 at run time, by the processor.
VARIANTS = sse2 avx2 avx512 avx512bw neon
# The x86-64 baseline.
VARIANT_sse2_TARGET = x86_64
VARIANT_sse2_FLAGS =
VARIANT_sse2_FLAGS_MSVC =
# AVX2 must not bring FMA.
VARIANT_avx2_TARGET = x86_64
VARIANT_avx2_FLAGS = -mavx2 -mno-fma
VARIANT_avx2_FLAGS_MSVC = /arch:AVX2
# AVX-512 Foundation, and F with BW: each file is built for exactly what it
# uses and runs where the processor has it. AVX-512F implies FMA in Clang,
# so -mno-fma would switch it off again; -ffp-contract=off alone keeps fused
# operations out of these files. Visual C++ has one AVX-512 switch.
VARIANT_avx512_TARGET = x86_64
VARIANT_avx512_FLAGS = -mavx512f
VARIANT_avx512_FLAGS_MSVC = /arch:AVX512
VARIANT_avx512bw_TARGET = x86_64
VARIANT_avx512bw_FLAGS = -mavx512f -mavx512bw
VARIANT_avx512bw_FLAGS_MSVC = /arch:AVX512
# Advanced SIMD is part of every arm64 processor.
VARIANT_neon_TARGET = arm64
VARIANT_neon_FLAGS =
VARIANT_neon_FLAGS_MSVC =

# Modules. MODULE_<name>_FOLDER holds the module's sources and its help file
# <name>.m; MODULE_<name>_KERNELS are its plain kernel sources there (their
# variants are the folder's files with the suffixes above). Its entry,
# MODULE_<name>_ENTRY (the file that holds HOST_ENTRY, then any other files
# that read the host for it), is written once against the host layer
# (host/host.h) and built with the kernels in two kinds: a MEX module (.mex, .mexa64,
# .mexw64...: MATLAB, and Octave's MEX interface), and, compiled with
# OCT_FLAGS, an oct-file (.oct: Octave's own interface, which the Octave
# package and build_mex in Octave build). MODULE_<name>_FUNCTIONS, if any,
# are functions written in Octave's language, in the module's folder, that
# go beside it.
OCT_FLAGS = -DHOST_OCTAVE
MODULES = linsvm_fit scale_bilinear luma_u8 resize_image
MODULE_linsvm_fit_FOLDER = svm
MODULE_linsvm_fit_KERNELS = classes_and_folds.cpp cross_validation.cpp fit_sparse.cpp fit_weights.cpp info_figures.cpp label_reading.cpp model_layout.cpp model_scores.cpp option_table.cpp sampler.cpp trainer_options.cpp
MODULE_linsvm_fit_ENTRY = linsvm_fit.cpp linsvm_fit_examples.cpp linsvm_fit_options.cpp
MODULE_linsvm_fit_FUNCTIONS = linsvm_predict.m
MODULE_scale_bilinear_FOLDER = image/scale
MODULE_scale_bilinear_KERNELS = bilinear_resample.cpp
MODULE_scale_bilinear_ENTRY = scale_bilinear.cpp
MODULE_luma_u8_FOLDER = image/gray
MODULE_luma_u8_KERNELS = weighted_luma.cpp
MODULE_luma_u8_ENTRY = luma_u8.cpp
MODULE_resize_image_FOLDER = image/resize
MODULE_resize_image_KERNELS = resize_weights.cpp separable_resize.cpp
MODULE_resize_image_ENTRY = resize_image.cpp
