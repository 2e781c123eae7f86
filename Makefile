# The two commands of the README: `make run` and `make test`. Everything else is a helper.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 600

.PHONY: deps build test test-plain test-asan test-tsan bench fuzz run clean

deps:
	@tools/install-deps.sh

build: deps
	cmake -S . -B build -DAX_WERROR=ON $(CMAKE_FLAGS)
	cmake --build build -j$(JOBS)

# The whole suite: the plain build, then the address+undefined and the thread sanitizer builds.
test: test-plain test-asan test-tsan

test-plain: build
	cd build && ctest --output-on-failure -j$(JOBS)

test-asan: deps
	cmake -S . -B build-asan -DAX_WERROR=ON -DAX_SANITIZE=address -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build build-asan -j$(JOBS)
	cd build-asan && UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j$(JOBS)

test-tsan: deps
	cmake -S . -B build-tsan -DAX_WERROR=ON -DAX_SANITIZE=thread -DCMAKE_BUILD_TYPE=Debug $(CMAKE_FLAGS)
	cmake --build build-tsan -j$(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j$(JOBS)

bench: build
	cmake --build build --target benchmarks -j$(JOBS)
	for b in build/bench/bench_*; do echo "== $$b"; $$b || exit 1; done

# Runs every container-parser fuzz target for FUZZ_SECONDS each (clang, libFuzzer, ASan+UBSan).
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DAX_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build build-fuzz -j$(JOBS) --target fuzz_targets dsdgen
	tools/run-fuzzers.sh build-fuzz $(FUZZ_SECONDS)

run:
	@echo "The player's main window comes with a later change; 'make run' is not ready yet."
	@exit 1

clean:
	rm -rf build build-asan build-tsan build-fuzz
