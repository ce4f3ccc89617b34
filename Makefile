# Thin wrapper over CMake. `make run` builds and starts the interpreter in
# this folder (where lib/ is); `make test` builds and runs every test, also
# under AddressSanitizer and UndefinedBehaviorSanitizer.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
GENERATOR := $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

.PHONY: all build run test test-release test-sanitize clean

all: build

build:
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DVORN_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/vorn

test: test-release test-sanitize

test-release: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(SANITIZE_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON -DVORN_WERROR=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD)
