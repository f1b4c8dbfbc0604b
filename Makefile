# The two commands a newcomer needs: `make demo` and `make test`.
BUILD      ?= build
TESTBUILD  ?= build-asan
JOBS       ?= $(shell nproc)
CMAKE_OPTS ?=

.PHONY: deps build demo test bench clean

deps:
	@./scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_OPTS)
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	./scripts/demo.sh $(BUILD)

# Every test, built with AddressSanitizer and UndefinedBehaviorSanitizer.
test: deps
	cmake -S . -B $(TESTBUILD) -DCMAKE_BUILD_TYPE=Debug -DKORVIN_SANITIZE=ON -DKORVIN_BENCH=OFF $(CMAKE_OPTS)
	cmake --build $(TESTBUILD) -j $(JOBS)
	cd $(TESTBUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: deps
	cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release
	cmake --build build-release -j $(JOBS)
	./scripts/bench.sh build-release

clean:
	rm -rf $(BUILD) $(TESTBUILD) build-release
