# The two commands a new user needs: `make run` and `make test`.
JOBS ?= $(shell nproc)
RELEASE := build/release
TESTING := build/test
BENCHING := build/bench
FUZZING := build/fuzz

.PHONY: run test fuzz bench build clean deps deps-test

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
	$(MAKE) --no-print-directory fuzz

# A minute of libFuzzer on the schedule file loader, from a scratch copy of
# the seeds so the committed ones stay as they are. A crash, leak or hang
# fails the run and leaves the input in $(FUZZING)/.
fuzz: deps-test
	cmake -S . -B $(FUZZING) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTAVOLIN_FUZZ=ON -DTAVOLIN_TESTS=OFF
	cmake --build $(FUZZING) -j $(JOBS) --target load_schedule_fuzz
	rm -rf $(FUZZING)/corpus && cp -r tests/fuzz/corpus $(FUZZING)/corpus
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	$(FUZZING)/tests/fuzz/load_schedule_fuzz $(FUZZING)/corpus -dict=tests/fuzz/schedule.dict \
	    -max_total_time=60 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZING)/

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
