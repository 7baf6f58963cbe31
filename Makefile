# The two set-up commands: `make run` builds and starts VOSTA, `make test` builds and runs every
# test. Both install what they need first.
BUILD ?= build
SANITIZED ?= build-sanitized
RELEASE ?= build-release
JOBS ?= 2
# The project's own builds treat warnings as errors; a plain CMake build does not.
CONFIGURE = -DVOSTA_WERROR=ON

FUZZ ?= build-fuzz
FUZZ_SECONDS ?= 60

.PHONY: deps build run test unit e2e sanitized tsan release fuzz soak memcheck bench clean

deps:
	tools/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CONFIGURE)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/vosta

# Every test: the unit tests, the same unit tests built with AddressSanitizer and
# UndefinedBehaviorSanitizer (Debug), the end-to-end tests, and a Release build of the program.
test: build sanitized release
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -L unit
	cd $(SANITIZED) && ctest --output-on-failure -j$(JOBS) -L unit
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -L 'e2e|x11'

unit: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -L unit

e2e: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -L e2e

# The unit tests with the sanitizers: any report ends the test program with a failure.
sanitized: deps
	cmake -S . -B $(SANITIZED) -DCMAKE_BUILD_TYPE=Debug -DVOSTA_SANITIZE=ON -DVOSTA_BENCH=OFF $(CONFIGURE)
	cmake --build $(SANITIZED) -j$(JOBS) --target $$(cd $(SANITIZED) && ctest -N -L unit | \
	  sed -n 's/.*Test *#[0-9]*: //p' | sed 's/^fuzz_corpus_/replay_/')

# The movie unit tests with ThreadSanitizer: the compression pass runs on threads of its own.
TSAN ?= build-tsan
tsan: deps
	cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=Debug -DVOSTA_TSAN=ON -DVOSTA_BENCH=OFF $(CONFIGURE)
	cmake --build $(TSAN) -j$(JOBS) --target unit_avi unit_media
	cd $(TSAN)/tests && for test in unit_media unit_avi; do \
	  QT_QPA_PLATFORM=offscreen TSAN_OPTIONS="halt_on_error=1:die_after_fork=0:suppressions=$(CURDIR)/tests/tsan-suppressions.txt" \
	    ./$$test --gtest_filter=-*OneGibibyte* || exit 1; \
	done

release: deps
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVOSTA_BENCH=OFF $(CONFIGURE)
	cmake --build $(RELEASE) -j$(JOBS) --target vosta

# Every fuzz target for FUZZ_SECONDS seconds under libFuzzer (clang), starting from the saved
# corpus; what it finds new stays in $(FUZZ)/corpus, a crash in $(FUZZ)/crashes.
fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOSTA_FUZZ=ON -DVOSTA_BENCH=OFF
	cmake --build $(FUZZ) -j$(JOBS) --target $$(cd tests/fuzz && ls fuzz_*.cpp | sed 's/\.cpp$$//')
	mkdir -p $(FUZZ)/crashes
	for source in tests/fuzz/fuzz_*.cpp; do \
	  target=$$(basename $$source .cpp | sed 's/^fuzz_//'); \
	  mkdir -p $(FUZZ)/corpus/$$target; \
	  QT_QPA_PLATFORM=offscreen $(FUZZ)/tests/fuzz/fuzz_$$target -max_total_time=$(FUZZ_SECONDS) \
	    -artifact_prefix=$(FUZZ)/crashes/$$target- $(FUZZ)/corpus/$$target tests/fuzz/corpus/$$target \
	    || exit 1; \
	done

# The long soak of the real program (about 25 minutes; SOAK_MINUTES scales it), then every unit
# test under valgrind's memcheck, which fails on a definite leak or an invalid access. Its checks
# of uninitialised values are off: they stop in unsymbolised machine code of the libraries below
# the program, where nothing can be told or mended.
soak: build
	tests/soak/run $(BUILD)
	$(MAKE) memcheck

memcheck: build
	cd $(BUILD)/tests && for test in unit_*; do \
	  [ -f "$$test" ] || continue; \
	  echo "memcheck: $$test"; \
	  QT_QPA_PLATFORM=offscreen valgrind --quiet --suppressions=$(CURDIR)/tests/valgrind.supp \
	    --leak-check=full --errors-for-leak-kinds=definite --undef-value-errors=no \
	    --error-exitcode=1 ./$$test --gtest_filter=-*OneGibibyte* >/dev/null || exit 1; \
	done

bench: build
	bench/run $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZED) $(RELEASE) $(FUZZ) $(TSAN)
