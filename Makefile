# The two set-up commands: `make run` builds and starts VOSTA, `make test` builds and runs every
# test. Both install what they need first.
BUILD ?= build
JOBS ?= 2

.PHONY: deps build run test unit e2e bench clean

deps:
	tools/install-deps

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/vosta

test: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -L unit
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -L 'e2e|x11'

unit: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -L unit

e2e: build
	cd $(BUILD) && ctest --output-on-failure -j$(JOBS) -L e2e

bench: build
	bench/run $(BUILD)

clean:
	rm -rf $(BUILD)
