# Quick start: `make demo` and `make test`. Both install what is missing first.

BUILD_DIR ?= build
JOBS ?= 2
OCTAVE := octave-cli --no-history --no-gui --quiet

BASE_PACKAGES := octave liboctave-dev cmake make g++ libgtest-dev
# The peers the tests compare resize_image with (each test skips, naming the
# reason, where one is missing): Pillow, OpenCV and Octave's imresize.
# And the parallel package, for the test of a grid of models split across
# processes; tmux, the terminal in which Ctrl-C is pressed at Octave's prompt.
TEST_PACKAGES := python3-pil python3-opencv octave-image octave-parallel tmux
# The demo compares with LIBLINEAR's command-line tools and trains on the
# heart_scale sample that they ship.
DEMO_PACKAGES := liblinear-tools
# make bench: Google Benchmark, the peers compared with (OpenCV, Pillow), and Octave's imresize;
# Fashion-MNIST and LIBLINEAR's command-line tools for the accuracy of averaging.
BENCH_PACKAGES := libbenchmark-dev libopencv-imgproc-dev liblinear-dev octave-image python3-pil python3-opencv \
	dataset-fashion-mnist liblinear-tools
BENCH_BUILD_DIR ?= $(BUILD_DIR)-bench
# The last release (0.2.0), whose modules make bench times beside these.
RELEASE_COMMIT ?= 214d13f
# Passed to bench_kernels (its --quick to the other programs too), for instance BENCH_ARGS=--quick.
BENCH_ARGS ?=
# make demo IMAGE=photo.jpg runs the image part on that file instead of
# Octave's bundled octave-sombrero.png.
IMAGE ?=

# make hostile: the hostile-input suite (also part of make test) and, with
# make hostile-valgrind alone, the same suite's short lists with the modules
# under valgrind memcheck.
HOSTILE_PACKAGES := valgrind
# make sanitize: the C++ unit tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer in their own folder, and the hostile-input
# suite's full lists on the modules of that build (make sanitize-address);
# then the unit tests with ThreadSanitizer in another (make sanitize-thread;
# the image kernels' split tests start threads).
SANITIZE_BUILD_DIR ?= $(BUILD_DIR)-asan
TSAN_BUILD_DIR ?= $(BUILD_DIR)-tsan
# Left out under ThreadSanitizer: the gray kernel over 4 GiB of pixels, whose
# every access it would check (two minutes); its threads are the ones the
# other gray tests start, and its offsets past 2^31 are checked in make test
# and under AddressSanitizer.
TSAN_LEFT_OUT := ^WeightedLuma\.PlanesOfTwoToTheThirtyPixelsAndMore$$
# make fuzz: the libFuzzer targets of fuzz/, FUZZ_SECONDS each from the
# committed corpora.
FUZZ_PACKAGES := clang libclang-rt-14-dev
FUZZ_BUILD_DIR ?= $(BUILD_DIR)-fuzz
FUZZ_SECONDS ?= 60
# make coverage: line and branch coverage (gcov, gcovr) of the kernels, the
# host layer and the entries over the C++ tests and the Octave tests together.
# The install tests build their own copies of the modules and are left out.
COVERAGE_PACKAGES := gcovr
COVERAGE_BUILD_DIR ?= $(BUILD_DIR)-coverage
GCOVR := gcovr --root . --object-directory $(COVERAGE_BUILD_DIR) \
	--filter 'svm/' --filter 'image/' --filter 'host/' --filter 'common/' \
	--exclude-throw-branches --exclude-unreachable-branches --gcov-ignore-parse-errors

# Other platforms. Roots (Debian made by debootstrap) and the wine prefix live
# outside the clone and are reused while complete.
ROOTS_DIR ?= /var/cache/linsvm_image/roots
# make test-arm64: the C++ unit tests cross-built for arm64 and run under
# qemu-aarch64, then the package built and tested inside an arm64 Debian 12
# root (Octave and g++ of arm64, under qemu-user-static) and its results
# compared with this machine's.
ARM64_PACKAGES := g++-aarch64-linux-gnu binutils-aarch64-linux-gnu googletest \
	qemu-user qemu-user-static binfmt-support debootstrap
ARM64_BUILD_DIR ?= $(BUILD_DIR)-arm64
ARM64_ROOT ?= $(ROOTS_DIR)/bookworm-arm64
# make test-windows: the C++ unit tests cross-built with MinGW-w64 (posix
# threads) and run under wine, with the fastest and the baseline kernels; the
# modules cross-built as .mexw64 DLLs, their imports and exports checked, and
# then loaded into a test host in the interpreter's place, which makes the
# calls of the Octave host tests and compares the outcomes with the Linux
# modules' (tests/platforms/windows_host/run.sh).
WINDOWS_PACKAGES := g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 googletest
WINDOWS_BUILD_DIR ?= $(BUILD_DIR)-windows
# Under wine a test program now and then fails to start (no output, ended in
# 0.05 s, seen once in a clean run): a failed test is run once more, and
# fails the target only when it fails again.
WINDOWS_CTEST := ctest --test-dir $(WINDOWS_BUILD_DIR) --output-on-failure -j $(JOBS) --repeat until-pass:2
ARM64_ROOT_PACKAGES := octave liboctave-dev g++ make
# make test-octave-oldest and test-octave-newest: the package in the oldest
# Octave supported (Debian 11's 6.2, GCC 10) and in the newest that Debian has
# (its testing suite), each in an amd64 root, tested as on arm64.
ROOT_PACKAGES := debootstrap
OLDEST_BUILD_DIR ?= $(BUILD_DIR)-oldest
OLDEST_ROOT ?= $(ROOTS_DIR)/bullseye-amd64
OLDEST_ROOT_PACKAGES := octave liboctave-dev g++ make tmux
NEWEST_BUILD_DIR ?= $(BUILD_DIR)-newest
NEWEST_ROOT ?= $(ROOTS_DIR)/testing-amd64
NEWEST_ROOT_PACKAGES := octave octave-dev g++ make tmux
# make roots: all three roots made side by side (debootstrap and apt are
# mostly network and disk bound), each logged to its own file.
ROOTS_LOG_DIR ?= $(BUILD_DIR)-roots
# make test-clang: everything make test runs, built with clang++, but for the
# tests of the build routes and the package, which build with mkoctfile
# whatever this build's compiler (make test runs them; coverage leaves them out
# too).
CLANG_PACKAGES := clang
CLANG_BUILD_DIR ?= $(BUILD_DIR)-clang
BUILD_ROUTE_TESTS := ^(package_install|build_mex|build_rules|package_index_entry|newcomer_setup|documentation_links.*)$$
# make setup-checks: the packages of every check above at once, so that
# checks run side by side (.ci/run) never wait on each other's apt.
CHECK_PACKAGES := $(TEST_PACKAGES) $(HOSTILE_PACKAGES) $(FUZZ_PACKAGES) $(COVERAGE_PACKAGES) $(ARM64_PACKAGES) \
	$(WINDOWS_PACKAGES) $(ROOT_PACKAGES) $(CLANG_PACKAGES) qemu-user qemu-user-static binfmt-support

.PHONY: help setup build test demo bench package clean hostile hostile-valgrind sanitize sanitize-address \
	sanitize-thread setup-checks fuzz coverage \
	roots roots-setup test-arm64 test-windows test-octave-oldest test-octave-newest test-clang

# make without a target: what there is to make.
.DEFAULT_GOAL := help
help:
	@echo 'linsvm_image: compiled functions for Octave and MATLAB. Set up and check with one of'
	@echo '  make test        install what is missing (Debian packages), build, run the tests'
	@echo '  make demo        install what is missing, build, run the demo in Octave'
	@echo 'Other targets:'
	@echo '  make setup       only install the Debian packages the build needs'
	@echo '  make build       configure and build into $(BUILD_DIR)/ (MEX modules in $(BUILD_DIR)/mex/, oct-files in $(BUILD_DIR)/oct/)'
	@echo '  make package     the Octave package $(BUILD_DIR)/NAME-VERSION.tar.gz and its index entry'
	@echo '  make bench       the benchmark table'
	@echo '  make hostile, make sanitize, make fuzz, make coverage'
	@echo '                   hostile inputs under valgrind, sanitizers, fuzzing, coverage'
	@echo '  make test-arm64, make test-windows, make test-octave-oldest,'
	@echo '  make test-octave-newest, make test-clang'
	@echo '                   other platforms and compilers (roots need root and Debian'"'"'s archive)'
	@echo '  make roots       the Debian roots of those targets, made side by side'
	@echo '  make clean       remove $(BUILD_DIR)/ and $(BENCH_BUILD_DIR)/'
	@echo 'README.md tells how to install and call the functions; DEVELOPING.md the rest.'

setup:
	@tools/ensure_packages.sh $(BASE_PACKAGES)

# Under a lock: checks that run side by side (.ci/run) each bring the build up
# to date first.
build: setup
	@mkdir -p $(BUILD_DIR)
	flock $(BUILD_DIR)/.build.lock sh -c 'cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release && \
	  cmake --build $(BUILD_DIR) -j $(JOBS)'


test: build
	@tools/ensure_packages.sh $(TEST_PACKAGES)
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

demo: build
	@tools/ensure_packages.sh $(DEMO_PACKAGES)
	$(OCTAVE) demo/demo.m $(BUILD_DIR)/oct $(BUILD_DIR)/demo $(if $(IMAGE),"$(IMAGE)")

# One table of ratios, each measured in the same run on one thread.
bench: setup
	@tools/ensure_packages.sh $(BENCH_PACKAGES)
	cmake -S . -B $(BENCH_BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DBUILD_BENCHMARKS=ON -DBUILD_TESTING=OFF
	cmake --build $(BENCH_BUILD_DIR) -j $(JOBS)
	@$(BENCH_BUILD_DIR)/bench/bench_kernels $(BENCH_ARGS) --kernel-times=$(BENCH_BUILD_DIR)/kernel_times.txt
	@$(BENCH_BUILD_DIR)/bench/bench_sparse $(filter --quick,$(BENCH_ARGS))
	@mkdir -p $(BENCH_BUILD_DIR)/resize
	@$(BENCH_BUILD_DIR)/bench/bench_resize $(filter --quick,$(BENCH_ARGS)) --write=$(BENCH_BUILD_DIR)/resize
	@/usr/bin/python3 bench/pillow_rows.py $(BENCH_BUILD_DIR)/resize $(filter --quick,$(BENCH_ARGS))
	@bench/build_release.sh $(RELEASE_COMMIT) $(BENCH_BUILD_DIR)/release
	@rm -rf $(BENCH_BUILD_DIR)/mex-named && mkdir -p $(BENCH_BUILD_DIR)/mex-named && \
	  for module in $(BENCH_BUILD_DIR)/mex/*.mex; do \
	    cp $$module $(BENCH_BUILD_DIR)/mex-named/$$(basename $$module .mex)_mex.mex; done
	@$(OCTAVE) bench/octave_vs_builtin.m $(BENCH_BUILD_DIR)/oct $(BENCH_BUILD_DIR)/mex-named \
	  $(BENCH_BUILD_DIR)/release/mex $(BENCH_BUILD_DIR)/kernel_times.txt
	@$(OCTAVE) bench/peer_agreement.m $(BENCH_BUILD_DIR)/oct $(BENCH_BUILD_DIR)/resize
	@$(OCTAVE) bench/averaging_accuracy.m $(BENCH_BUILD_DIR)/oct

# The Octave package NAME-VERSION.tar.gz (pkg install builds it with mkoctfile)
# and its index entry; make package TARBALL_URL_BASE=https://... and
# MAINTAINER_CONTACT=address fill the entry's tarball URL and contact.
package:
	package/make_package.sh $(BUILD_DIR)
	@echo "$(BUILD_DIR)/$$(sed -n 's/^Name: *//p' package/DESCRIPTION).yaml (entry for the Octave Packages index)"

hostile: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS) -L hostile
	$(MAKE) hostile-valgrind

hostile-valgrind: build
	@tools/ensure_packages.sh $(HOSTILE_PACKAGES)
	tests/host/hostile_valgrind.sh $(BUILD_DIR)/mex $(BUILD_DIR)/hostile $(JOBS) $(BUILD_DIR)/oct

sanitize: sanitize-address sanitize-thread

sanitize-address: setup
	cmake -C cmake/Sanitizers.cmake -S . -B $(SANITIZE_BUILD_DIR)
	cmake --build $(SANITIZE_BUILD_DIR) -j $(JOBS)
	ctest --test-dir $(SANITIZE_BUILD_DIR) --output-on-failure -j $(JOBS) -LE octave
	tests/host/hostile_sanitized.sh $(SANITIZE_BUILD_DIR) $(SANITIZE_BUILD_DIR)/hostile $(JOBS)

sanitize-thread: setup
	cmake -C cmake/ThreadSanitizer.cmake -S . -B $(TSAN_BUILD_DIR) -DBUILD_MODULES=OFF
	cmake --build $(TSAN_BUILD_DIR) -j $(JOBS)
	ctest --test-dir $(TSAN_BUILD_DIR) --output-on-failure -j $(JOBS) -E '$(TSAN_LEFT_OUT)'

fuzz: setup
	@tools/ensure_packages.sh $(FUZZ_PACKAGES)
	cmake -S fuzz -B $(FUZZ_BUILD_DIR) -DCMAKE_CXX_COMPILER=clang++
	cmake --build $(FUZZ_BUILD_DIR) -j $(JOBS)
	fuzz/run_fuzzers.sh $(FUZZ_BUILD_DIR) $(FUZZ_SECONDS) $(JOBS)

coverage: setup
	@tools/ensure_packages.sh $(COVERAGE_PACKAGES)
	cmake -C cmake/Coverage.cmake -S . -B $(COVERAGE_BUILD_DIR)
	cmake --build $(COVERAGE_BUILD_DIR) -j $(JOBS)
	find $(COVERAGE_BUILD_DIR) -name '*.gcda' -delete
	ctest --test-dir $(COVERAGE_BUILD_DIR) --output-on-failure -j $(JOBS) -E '$(BUILD_ROUTE_TESTS)'
	@echo "Lines no test reaches (Missing):"
	@$(GCOVR) 2>/dev/null | tee $(COVERAGE_BUILD_DIR)/lines.txt
	@echo "Branches no test takes (lines in Missing):"
	@$(GCOVR) --branches 2>/dev/null | tee $(COVERAGE_BUILD_DIR)/branches.txt
	@$(GCOVR) --print-summary --html-details $(COVERAGE_BUILD_DIR)/coverage.html -o $(COVERAGE_BUILD_DIR)/coverage.txt 2>/dev/null \
	  | sed 's/^/coverage: /'

test-arm64: build
	@tools/ensure_packages.sh $(ARM64_PACKAGES)
	cmake -S . -B $(ARM64_BUILD_DIR) --toolchain cmake/toolchains/aarch64-linux-gnu.cmake \
	  -DCMAKE_BUILD_TYPE=Release -DBUILD_MODULES=OFF
	cmake --build $(ARM64_BUILD_DIR) -j $(JOBS)
	ctest --test-dir $(ARM64_BUILD_DIR) --output-on-failure -j $(JOBS)
	tests/platforms/package_on_debian.sh bookworm arm64 $(ARM64_ROOT) $(ARM64_BUILD_DIR)/package \
	  $(BUILD_DIR)/mex $(ARM64_ROOT_PACKAGES)

test-windows: build
	@tools/ensure_packages.sh $(WINDOWS_PACKAGES)
	cmake -S . -B $(WINDOWS_BUILD_DIR) --toolchain cmake/toolchains/x86_64-w64-mingw32.cmake \
	  -DCMAKE_BUILD_TYPE=Release
	cmake --build $(WINDOWS_BUILD_DIR) -j $(JOBS)
	$(WINDOWS_CTEST) || { tests/platforms/wine_run.sh --stop; exit 1; }
	MEX_KERNELS_BASELINE=1 $(WINDOWS_CTEST) || { tests/platforms/wine_run.sh --stop; exit 1; }
	tests/platforms/windows_host/run.sh $(BUILD_DIR) $(WINDOWS_BUILD_DIR) || { tests/platforms/wine_run.sh --stop; exit 1; }
	tests/platforms/wine_run.sh --stop

test-octave-oldest: build
	@tools/ensure_packages.sh $(ROOT_PACKAGES)
	tests/platforms/package_on_debian.sh bullseye amd64 $(OLDEST_ROOT) $(OLDEST_BUILD_DIR)/package \
	  $(BUILD_DIR)/mex $(OLDEST_ROOT_PACKAGES)

test-octave-newest: build
	@tools/ensure_packages.sh $(ROOT_PACKAGES)
	tests/platforms/package_on_debian.sh testing amd64 $(NEWEST_ROOT) $(NEWEST_BUILD_DIR)/package \
	  $(BUILD_DIR)/mex $(NEWEST_ROOT_PACKAGES)

setup-checks: setup
	@tools/ensure_packages.sh $(CHECK_PACKAGES)

roots-setup:
	@tools/ensure_packages.sh $(ROOT_PACKAGES) qemu-user qemu-user-static binfmt-support

roots: roots-setup
	tests/platforms/debian_roots.sh $(ROOTS_LOG_DIR) \
	  "bookworm arm64 $(ARM64_ROOT) $(ARM64_ROOT_PACKAGES)" \
	  "bullseye amd64 $(OLDEST_ROOT) $(OLDEST_ROOT_PACKAGES)" \
	  "testing amd64 $(NEWEST_ROOT) $(NEWEST_ROOT_PACKAGES)"

test-clang: setup
	@tools/ensure_packages.sh $(CLANG_PACKAGES)
	cmake -S . -B $(CLANG_BUILD_DIR) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release
	cmake --build $(CLANG_BUILD_DIR) -j $(JOBS)
	ctest --test-dir $(CLANG_BUILD_DIR) --output-on-failure -j $(JOBS) -E '$(BUILD_ROUTE_TESTS)'

clean:
	rm -rf $(BUILD_DIR) $(BENCH_BUILD_DIR)
