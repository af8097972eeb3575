# Quick start: `make demo` and `make test`. Both install what is missing first.

BUILD_DIR ?= build
JOBS ?= 2
OCTAVE := octave-cli --no-history --no-gui --quiet

BASE_PACKAGES := octave liboctave-dev cmake make g++ libgtest-dev
# The demo compares with LIBLINEAR's command-line tools and trains on the
# heart_scale sample that they ship.
DEMO_PACKAGES := liblinear-tools
# make demo IMAGE=photo.jpg runs the image part on that file instead of
# Octave's bundled octave-sombrero.png.
IMAGE ?=

.PHONY: setup build test demo package clean

setup:
	@tools/ensure_packages.sh $(BASE_PACKAGES)

build: setup
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

demo: build
	@tools/ensure_packages.sh $(DEMO_PACKAGES)
	$(OCTAVE) demo/demo.m $(BUILD_DIR)/mex $(BUILD_DIR)/demo $(if $(IMAGE),"$(IMAGE)")

# The Octave package NAME-VERSION.tar.gz (pkg install builds it with mkoctfile).
package:
	package/make_package.sh $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR)
