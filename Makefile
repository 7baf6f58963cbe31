# The two set-up commands: `make run` builds and starts VOSTA, `make test` builds and runs every
# test. Each command first installs the packages it needs (tools/install-deps --list shows them).
BUILD ?= build
SANITIZED ?= build-sanitized
FUZZ ?= build-fuzz
JOBS ?= 2
FUZZ_SECONDS ?= 60
CLANG_FORMAT ?= clang-format

# The project's own builds treat warnings as errors, compile the program's folders as unity builds
# (a cold Release tree in 3 min 9 s instead of 3 min 50 s here; the tests stay file by file) and
# compile through ccache where it is installed (the test packages bring it); a plain CMake build
# does none of that. The tests' precompiled headers are cached only where ccache is told that their
# time stamps and macros may be trusted.
CCACHE = env;CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime;ccache
# Where the test packages brought them, a new tree is generated for Ninja, which keeps both cores
# busy across targets and starts no make and cmake processes per file, and links with lld, which
# links a test program in a fifth of the CPU time of ld. (A tree keeps the generator it was made with.)
LLD = $(if $(shell command -v ld.lld),-fuse-ld=lld)
CONFIGURE = -DVOSTA_WERROR=ON -DCMAKE_UNITY_BUILD=ON $(if $(shell command -v ccache), \
  "-DCMAKE_C_COMPILER_LAUNCHER=$(CCACHE)" "-DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE)") \
  $(if $(LLD),-DCMAKE_EXE_LINKER_FLAGS=$(LLD) -DCMAKE_SHARED_LINKER_FLAGS=$(LLD) \
    -DCMAKE_MODULE_LINKER_FLAGS=$(LLD))
GENERATOR = $(if $(wildcard $(1)/CMakeCache.txt),,$(if $(shell command -v ninja),-G Ninja))
# The main tree is a Release build: the tests run the optimised program that the package ships
# (CPack strips it). Line tables only (-g1), so that a failing end-to-end test still gets stacks
# with file and line, at a fraction of the compile time of full debug information. A new tree
# starts without the tests and the benchmarks, whose packages only the commands that switch them
# on install.
MAIN = cmake -S . -B $(BUILD) $(call GENERATOR,$(BUILD)) -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_FLAGS=-g1 -DCMAKE_CXX_FLAGS=-g1 $(CONFIGURE)
NEW_MAIN = [ -f $(BUILD)/CMakeCache.txt ] || $(MAIN) -DBUILD_TESTING=OFF -DVOSTA_BENCH=OFF
# The unit tests built with AddressSanitizer and UndefinedBehaviorSanitizer (Debug): any report
# ends the test program with a failure. Line tables (-g1) are all that the reports' stacks use.
# A new tree is compiled by clang where the test packages brought it: it builds this instrumented
# Debug tree in half the time of GCC, and its warnings are a second compiler's view of the code.
SANITIZED_TREE = $(if $(wildcard $(SANITIZED)/CMakeCache.txt),,$(if $(shell command -v clang++), \
  CC=clang CXX=clang++)) cmake -S . -B $(SANITIZED) $(call GENERATOR,$(SANITIZED)) \
  -DCMAKE_BUILD_TYPE=Debug -DVOSTA_SANITIZE=ON -DVOSTA_BENCH=OFF -DCMAKE_C_FLAGS_DEBUG=-g1 -DCMAKE_CXX_FLAGS_DEBUG=-g1 $(CONFIGURE)

.PHONY: build run test test-tree unit e2e wayland sanitized tsan fuzz soak memcheck bench package format \
  format-check clean

# The packages of one or more groups (tools/install-deps), as a prerequisite: a recipe is expanded
# only after its prerequisites are made, so it sees the tools that they installed.
packages-%:
	tools/install-deps $(subst +, ,$*)

build: packages-build
	$(NEW_MAIN)
	cmake --build $(BUILD) -j$(JOBS) --target vosta

run: build
	$(BUILD)/vosta

# The main tree with its tests, built.
test-tree: packages-build+test
	$(MAIN) -DBUILD_TESTING=ON
	cmake --build $(BUILD) -j$(JOBS)

# Every test: the main tree's unit, end-to-end, x11, package and format tests, while the sanitized
# unit tests build in the background; then the sanitized unit tests (tests/run-all). The main tree
# is a Release build, so this also proves that Release compiles without a warning.
test: test-tree
	$(SANITIZED_TREE)
	tests/run-all $(BUILD) $(SANITIZED) $(JOBS)

unit: test-tree
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -L unit

e2e: test-tree
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -L e2e

# The end-to-end tests on a Wayland desktop (headless sway with Xwayland).
wayland: test-tree
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -L wayland

sanitized: packages-build+test
	$(SANITIZED_TREE)
	cmake --build $(SANITIZED) -j$(JOBS) --target unit_tests
	cd $(SANITIZED) && ctest --output-on-failure -j$(JOBS) -L unit

# The movie unit tests with ThreadSanitizer: the compression pass runs on threads of its own.
TSAN ?= build-tsan
tsan: packages-build+test
	cmake -S . -B $(TSAN) -DCMAKE_BUILD_TYPE=Debug -DVOSTA_TSAN=ON -DVOSTA_BENCH=OFF $(CONFIGURE)
	cmake --build $(TSAN) -j$(JOBS) --target unit_avi unit_media
	cd $(TSAN)/tests && for test in unit_media unit_avi; do \
	  QT_QPA_PLATFORM=offscreen \
	  TSAN_OPTIONS="halt_on_error=1:die_after_fork=0:suppressions=$(CURDIR)/tests/tsan-suppressions.txt" \
	    ./$$test --gtest_filter=-*OneGibibyte* || exit 1; \
	done

# The Debian package of the main tree's program, stripped: $(BUILD)/vosta_<version>_<arch>.deb.
package: packages-build+package
	$(NEW_MAIN)
	cd $(BUILD) && cpack

# Every fuzz target for FUZZ_SECONDS seconds under libFuzzer (clang), starting from the saved
# corpus; what it finds new stays in $(FUZZ)/corpus, a crash in $(FUZZ)/crashes.
fuzz: packages-build+fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVOSTA_FUZZ=ON \
	  -DBUILD_TESTING=OFF -DVOSTA_BENCH=OFF
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
# the program, where nothing can be told or mended. The soak times bench/compress_once.
soak: packages-build+test+memcheck
	$(MAIN) -DBUILD_TESTING=ON -DVOSTA_BENCH=ON
	cmake --build $(BUILD) -j$(JOBS)
	tests/soak/run $(BUILD)
	$(MAKE) memcheck

memcheck: test-tree packages-memcheck
	cd $(BUILD)/tests && for test in unit_*; do \
	  [ -f "$$test" ] || continue; \
	  echo "memcheck: $$test"; \
	  QT_QPA_PLATFORM=offscreen valgrind --quiet --suppressions=$(CURDIR)/tests/valgrind.supp \
	    --leak-check=full --errors-for-leak-kinds=definite --undef-value-errors=no \
	    --error-exitcode=1 ./$$test --gtest_filter=-*OneGibibyte* >/dev/null || exit 1; \
	done

bench: packages-build+bench
	$(NEW_MAIN)
	$(MAIN) -DVOSTA_BENCH=ON
	cmake --build $(BUILD) -j$(JOBS)
	bench/run $(BUILD)

# Formats every tracked C and C++ file in place, after .clang-format.
format: packages-format
	CLANG_FORMAT=$(CLANG_FORMAT) tools/format-check --fix

# Fails, naming them, when tracked C and C++ files differ from what make format would make (make
# test runs the same check as its format_check test).
format-check: packages-format
	CLANG_FORMAT=$(CLANG_FORMAT) tools/format-check

clean:
	rm -rf $(BUILD) $(SANITIZED) $(FUZZ) $(TSAN) build-release
