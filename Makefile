# The two commands a new user needs: `make run` and `make test`.
JOBS ?= $(shell nproc)
RELEASE := build/release
TESTING := build/test
BENCHING := build/bench

.PHONY: run test bench build clean deps deps-test

run: deps build
	./$(RELEASE)/ui/tavolin

build:
	cmake -S . -B $(RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVOLIN_TESTS=OFF
	cmake --build $(RELEASE) -j $(JOBS)

# Tests build with AddressSanitizer and UndefinedBehaviorSanitizer; the audio
# tests start their own private sound server and leave the user's alone.
test: deps-test
	cmake -S . -B $(TESTING) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVOLIN_SANITIZE=ON
	cmake --build $(TESTING) -j $(JOBS)
	ctest --test-dir $(TESTING) --output-on-failure -j $(JOBS)

bench: deps-test
	cmake -S . -B $(BENCHING) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVOLIN_TESTS=OFF -DTAVOLIN_BENCH=ON
	cmake --build $(BENCHING) -j $(JOBS)
	cmake --build $(BENCHING) --target run-benchmarks

deps:
	scripts/install-deps

deps-test:
	scripts/install-deps --test

clean:
	rm -rf build
