# Quillane: `make demo` and `make test` do all the set-up on a fresh Debian 12 machine.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# Warnings are errors in every build that make runs.
WARNINGS := -DQUILLANE_WERROR=ON
FORMATTED := $(shell git ls-files '*.cpp' '*.h' 2>/dev/null | grep -v '^tests/data/')
SAMPLE_DIR ?= samples
DEMO_OUT ?= out/demo.psd

.PHONY: deps build build-asan build-tsan demo test test-plain test-asan test-tsan test-fuzz test-format format fuzz bench screenshot clean

deps:
	@scripts/install-deps

build: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WARNINGS) $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

build-asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DQUILLANE_SANITIZE=address,undefined -DQUILLANE_BUILD_APP=OFF -DQUILLANE_BUILD_BENCH=OFF $(WARNINGS) $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)

build-tsan: deps
	cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DQUILLANE_SANITIZE=thread -DQUILLANE_BUILD_APP=OFF -DQUILLANE_BUILD_BENCH=OFF $(WARNINGS) $(CMAKE_FLAGS)
	cmake --build build-tsan -j $(JOBS) --target quillane_thread_tests

demo: build
	@mkdir -p $(dir $(DEMO_OUT))
	./build/quillane --key white $(SAMPLE_DIR) $(DEMO_OUT)
	@/usr/bin/python3 scripts/show-psd $(DEMO_OUT)

test-plain: build
	cd build && ctest --output-on-failure --no-tests=error -j $(JOBS)

test-asan: build-asan
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure --no-tests=error -j $(JOBS)

test-tsan: build-tsan
	@if [ -x build-tsan/tests/quillane_thread_tests ]; then \
	  TSAN_OPTIONS=halt_on_error=1 build-tsan/tests/quillane_thread_tests; \
	else echo "no threading tests"; fi

# Every fuzz target (clang, ASan+UBSan) on its seed corpus for a short while: about two
# minutes in all. `make fuzz SECONDS=N` runs each for N seconds.
FUZZ_TEST_SECONDS ?= 12
SECONDS ?= 600
test-fuzz: deps
	scripts/fuzz-all $(FUZZ_TEST_SECONDS)

fuzz: deps
	scripts/fuzz-all $(SECONDS)

# Every C++ file as .clang-format lays it out; `make format` rewrites them so.
test-format: deps
	@clang-format --dry-run --Werror $(FORMATTED) && echo "test-format: every C++ file as .clang-format lays it out"

format: deps
	clang-format -i $(FORMATTED)

test: test-format test-plain test-asan test-tsan test-fuzz

bench: build
	bench/run-workloads

screenshot: build
	BUILD=build scripts/screenshot

# The Debian package, build/quillane_<version>_<arch>.deb (cmake/Packaging.cmake).
.PHONY: package
package: build
	cmake --build build --target package

clean:
	rm -rf build build-asan build-tsan build-fuzz out
