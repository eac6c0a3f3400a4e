# The two commands a new user needs: `make run` and `make test`.
JOBS ?= $(shell nproc)
RELEASE := build/release
TESTING := build/test
BENCHING := build/bench
FUZZING := build/fuzz
TSAN := build/tsan
# The threaded tests of the audio layer and the engine.
TSAN_TESTS := audio_layer_test event_test event_playback_test schedule_test
space := $() $()

.PHONY: run test fuzz tsan bench build clean deps deps-test

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
	$(MAKE) --no-print-directory tsan

# The threaded tests again under ThreadSanitizer; any report fails them. One
# at a time: TSan slows the audio tests, whose timing checks want the CPU.
tsan: deps-test
	cmake -S . -B $(TSAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVOLIN_TSAN=ON
	cmake --build $(TSAN) -j $(JOBS) --target $(TSAN_TESTS)
	TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 suppressions=$(CURDIR)/tests/tsan/tsan.supp" \
	ctest --test-dir $(TSAN) --output-on-failure -R '^($(subst $(space),|,$(TSAN_TESTS)))$$'

# A minute of libFuzzer on each target, from scratch copies of the seeds so
# the committed ones stay as they are: the schedule file loader, then opening
# and decoding any audio file. A crash, leak or hang fails the run and leaves
# the input in $(FUZZING)/. No clip needs half a gigabyte in one allocation.
fuzz: deps-test
	cmake -S . -B $(FUZZING) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ -DTAVOLIN_FUZZ=ON -DTAVOLIN_TESTS=OFF
	cmake --build $(FUZZING) -j $(JOBS) --target load_schedule_fuzz open_audio_fuzz
	rm -rf $(FUZZING)/corpus && cp -r tests/fuzz/corpus $(FUZZING)/corpus
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	$(FUZZING)/tests/fuzz/load_schedule_fuzz $(FUZZING)/corpus -dict=tests/fuzz/schedule.dict \
	    -max_total_time=60 -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZING)/
	rm -rf $(FUZZING)/audio_corpus && cp -r tests/fuzz/audio_corpus $(FUZZING)/audio_corpus
	ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
	$(FUZZING)/tests/fuzz/open_audio_fuzz $(FUZZING)/audio_corpus \
	    -max_total_time=60 -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512 -print_final_stats=1 \
	    -artifact_prefix=$(FUZZING)/audio-

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
