# One-word entry points. Each first makes sure the Debian packages are installed.
#   make run    build and run Quillomat against the simulated camera
#   make test   build with warnings as errors and run every test
#   make asan   the whole test suite under AddressSanitizer + UndefinedBehaviorSanitizer
#   make fuzz   run every fuzz target for FUZZ_SECONDS each (default 60) under ASan/UBSan
#   make bench  build optimised and run the benchmarks
#   make screenshot  the main window with the simulated camera, as docs/quillomat.png,
#               and an over-exposed shot with its clipping marks, as docs/clipping.png
#   make deb    the Debian package, build-deb/quillomat_<version>_amd64.deb

JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
RUN_ARGS ?=
CMAKE_GEN := -G Ninja

.PHONY: all deps build run test asan fuzz bench screenshot deb clean

all: build

deps:
	@./scripts/install-deps

build: deps
	cmake -S . -B build $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLOMAT_WERROR=ON
	cmake --build build -j $(JOBS)

run: build
	./scripts/run-quillomat $(RUN_ARGS)

test: build
	cd build && ctest -j $(JOBS) --output-on-failure --timeout 600

asan: deps
	cmake -S . -B build-asan $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Debug -DQUILLOMAT_SANITIZE=ON
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
		ctest -j $(JOBS) --output-on-failure --timeout 1200

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DQUILLOMAT_FUZZ=ON -DQUILLOMAT_TESTS=OFF
	cmake --build build-fuzz -j $(JOBS)
	./scripts/run-fuzzers build-fuzz/fuzzers.txt $(FUZZ_SECONDS)

bench: deps
	cmake -S . -B build-bench $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DQUILLOMAT_BENCH=ON -DQUILLOMAT_TESTS=OFF
	cmake --build build-bench -j $(JOBS) --target run-benchmarks

screenshot: build
	./scripts/screenshot docs/quillomat.png
	SCREENSHOT_CAMERA="tv=1/90" SCREENSHOT_SETTINGS="ShowClipping=1" ./scripts/screenshot docs/clipping.png

# Only what the package installs, optimised, without the tests; it installs
# only the packages this build needs.
deb:
	@./scripts/install-deps deb
	cmake -S . -B build-deb $(CMAKE_GEN) -DCMAKE_BUILD_TYPE=Release -DQUILLOMAT_TESTS=OFF -DQUILLOMAT_WERROR=ON
	cmake --build build-deb -j $(JOBS)
	cd build-deb && cpack -G DEB

clean:
	rm -rf build build-asan build-fuzz build-bench build-deb
