# The README's commands. `make test` is what CI runs.
# JOBS: parallel compiler jobs and parallel tests.
JOBS ?= $(shell nproc)
DEBUG_DIR ?= build/debug
TSAN_DIR ?= build/tsan
RELEASE_DIR ?= build/release
FUZZ_DIR ?= build/fuzz

export CCACHE_SLOPPINESS := pch_defines,time_macros,include_file_mtime,include_file_ctime
export CCACHE_DIR ?= $(HOME)/.cache/ccache

.PHONY: deps fuzz-deps test tsan run bench fuzz fuzz-smoke clean

deps:
	@sh scripts/install-deps

# clang and its fuzzer and sanitizer runtimes, only for the fuzz targets.
fuzz-deps:
	@sh scripts/install-deps fuzz

# Benchmarks are left out of the test build: with sanitizers they are large and
# they are never run there.
test: deps
	cmake -S . -B $(DEBUG_DIR) -DCMAKE_BUILD_TYPE=Debug -DTHINKWEB_SANITIZE=ON -DTHINKWEB_BENCH=OFF
	cmake --build $(DEBUG_DIR) -j$(JOBS)
	cd $(DEBUG_DIR) && QT_QPA_PLATFORM=offscreen \
	    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	    LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp:print_suppressions=0 \
	    UBSAN_OPTIONS=print_stacktrace=1 \
	    ctest --output-on-failure -j$(JOBS)

# The test programs of the code that runs threads (the save's checksum, the
# model and the map drawing, whose whole-map move is shared between threads)
# under ThreadSanitizer. Qt is not instrumented: tests/tsan.supp names the few
# reports that lie wholly inside Qt's own threads, and why.
tsan: deps
	cmake -S . -B $(TSAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DTHINKWEB_SANITIZE_THREAD=ON -DTHINKWEB_BENCH=OFF
	cmake --build $(TSAN_DIR) -j$(JOBS) --target test_support test_model test_mapdrawing
	cd $(TSAN_DIR) && QT_QPA_PLATFORM=offscreen \
	    TSAN_OPTIONS=suppressions=$(CURDIR)/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1:die_after_fork=0 \
	    ctest --output-on-failure -j$(JOBS) -R '^test_(support|model|mapdrawing)'

# Builds the optimised program and starts it with a new untitled document;
# EDITION=compact starts the Compact edition.
EDITION ?= deluxe
run: deps
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DTHINKWEB_TESTS=OFF -DTHINKWEB_BENCH=ON
	cmake --build $(RELEASE_DIR) -j$(JOBS) --target thinkweb_app
	$(RELEASE_DIR)/thinkweb --edition=$(EDITION)

# Benchmarks are measured in an optimised build without sanitizers. Every one
# runs even when an earlier one fails or is killed; the failures are listed at
# the end and make the target fail.
bench: deps
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release -DTHINKWEB_TESTS=OFF -DTHINKWEB_BENCH=ON
	cmake --build $(RELEASE_DIR) -j$(JOBS)
	@mkdir -p $(RELEASE_DIR)/bench-results; failed=""; \
	for b in $(RELEASE_DIR)/bench_*; do [ -f "$$b" ] && [ -x "$$b" ] || continue; \
	    out=$(RELEASE_DIR)/bench-results/$${b##*/}.json; rm -f "$$out"; \
	    echo "== $$b"; QT_QPA_PLATFORM=offscreen $$b --benchmark_out="$$out" --benchmark_out_format=json || { status=$$?; \
	    echo "== $$b failed with status $$status"; failed="$$failed $${b##*/}($$status)"; continue; }; \
	    if grep -q '"error_occurred": true' "$$out"; then \
	    echo "== $$b: a benchmark reported an error"; failed="$$failed $${b##*/}(error)"; fi; done; \
	if [ -n "$$failed" ]; then echo "Benchmarks that failed:$$failed"; exit 1; fi

fuzz: fuzz-deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_DIR) -DCMAKE_BUILD_TYPE=Debug -DTHINKWEB_FUZZ=ON \
	    -DTHINKWEB_TESTS=OFF -DTHINKWEB_BENCH=OFF
	cmake --build $(FUZZ_DIR) -j$(JOBS)

# Runs every fuzz target for a few seconds on its seeds under fuzz/corpus/.
fuzz-smoke: fuzz
	cd $(FUZZ_DIR) && ctest --output-on-failure -j$(JOBS)

clean:
	rm -rf build
