# The two set-up commands: `make run` builds and starts VOSTA, `make test` builds and runs every
# test. Both install what they need first.
BUILD ?= build
SANITIZED ?= build-sanitized
RELEASE ?= build-release
JOBS ?= 2
# The project's own builds treat warnings as errors; a plain CMake build does not.
CONFIGURE = -DVOSTA_WERROR=ON

.PHONY: deps build run test unit e2e sanitized release bench clean

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
	cmake --build $(SANITIZED) -j$(JOBS) --target $$(cd $(SANITIZED) && ctest -N -L unit | sed -n 's/.*Test *#[0-9]*: //p')

release: deps
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DVOSTA_BENCH=OFF $(CONFIGURE)
	cmake --build $(RELEASE) -j$(JOBS) --target vosta

bench: build
	bench/run $(BUILD)

clean:
	rm -rf $(BUILD) $(SANITIZED) $(RELEASE)
