# The two commands a newcomer needs: `make demo` and `make test`.
BUILD      ?= build
TESTBUILD  ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_OPTS ?=

.PHONY: deps build demo package test unit-tests fuzz check-tsan bench soak format-check layers-check clean

deps:
	@./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_OPTS)
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	./scripts/demo.sh $(BUILD)

# The Debian package (korvin_<version>_<arch>.deb in $(BUILD)), from the release tree.
package: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_OPTS)
	cmake --build $(BUILD) -j $(JOBS) --target korvin_installed
	cd $(BUILD) && cpack -G DEB

# Every test: the unit, Qt and end-to-end suites under AddressSanitizer and
# UndefinedBehaviorSanitizer, the threaded tests under ThreadSanitizer, and a bounded fuzzing run.
test: unit-tests check-tsan fuzz

unit-tests: deps
	cmake -S . -B $(TESTBUILD) -DCMAKE_BUILD_TYPE=Debug -DKORVIN_SANITIZE=ON -DKORVIN_BENCH=OFF $(CMAKE_OPTS)
	cmake --build $(TESTBUILD) -j $(JOBS)
	cd $(TESTBUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The tests that start threads, the ten-minute soak among them, built with ThreadSanitizer.
check-tsan: deps
	JOBS=$(JOBS) TSAN_SOAK=$${TSAN_SOAK:-1} ./scripts/check-tsan.sh build-tsan

# The libFuzzer targets (clang, ASan + UBSan), FUZZ_SECONDS each (default 60).
fuzz: deps
	FUZZ_JOBS=$(JOBS) ./scripts/fuzz.sh build-fuzz

# Every tracked C++ file as .clang-format writes it.
format-check: deps
	./scripts/check-format.sh

# Every include under src/ runs down the layers (platform <- engine, link, services <- windows
# <- shell).
layers-check:
	./scripts/check-layers.sh

# Two real minutes of the client against exciter-sim, sampling memory, descriptors and threads.
soak: build
	./scripts/soak.sh $(BUILD)

bench: deps
	cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release
	cmake --build build-release -j $(JOBS)
	./scripts/bench.sh build-release

clean:
	rm -rf $(BUILD) $(TESTBUILD) build-release build-fuzz build-tsan
