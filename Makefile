# Quick start: `make demo` and `make test`. Both install what is missing first.

BUILD_DIR ?= build
JOBS ?= 2
OCTAVE := octave-cli --no-history --no-gui --quiet

BASE_PACKAGES := octave liboctave-dev cmake make g++ libgtest-dev

.PHONY: setup build test demo clean

setup:
	@tools/ensure_packages.sh $(BASE_PACKAGES)

build: setup
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

demo: build
	$(OCTAVE) demo/demo.m $(BUILD_DIR)/mex

clean:
	rm -rf $(BUILD_DIR)
