# Thin wrapper over CMake. `make run` builds and starts the interpreter in
# this folder (where lib/ is); `make test` builds and runs every test, also
# under AddressSanitizer and UndefinedBehaviorSanitizer. Both first install
# the Debian packages they need and lack (scripts/install-deps.sh).
BUILD ?= build
RUN_BUILD ?= build-run
SANITIZE_BUILD ?= build-sanitize
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
# Asked when a recipe runs, after the packages are installed.
GENERATOR = $(shell command -v ninja >/dev/null 2>&1 && echo "-G Ninja")

# Debian packages: what the interpreter needs, and what the tests add.
RUN_PACKAGES := g++ cmake ninja-build libedit-dev
TEST_PACKAGES := $(RUN_PACKAGES) python3 libgtest-dev

.PHONY: all build program run test test-release test-sanitize clean install deps-run deps-test

all: build

deps-run:
	@sh scripts/install-deps.sh $(RUN_PACKAGES)

deps-test:
	@sh scripts/install-deps.sh $(TEST_PACKAGES)

build: deps-test
	cmake -S . -B $(BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DVORN_WERROR=ON
	cmake --build $(BUILD) -j $(JOBS)

# The interpreter alone, in a folder of its own (no GoogleTest, no test
# programs), quietly: the build's output is shown only when it fails.
program: deps-run
	@mkdir -p $(RUN_BUILD)
	@echo "Building vorn in $(RUN_BUILD)/ ..."
	@cmake -S . -B $(RUN_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DVORN_TESTS=OFF \
		>$(RUN_BUILD)/make.log 2>&1 || { cat $(RUN_BUILD)/make.log; exit 1; }
	@cmake --build $(RUN_BUILD) --target vorn vorn-run -j $(JOBS) >>$(RUN_BUILD)/make.log 2>&1 \
		|| { cat $(RUN_BUILD)/make.log; exit 1; }

run: program
	@./$(RUN_BUILD)/vorn

test: test-release test-sanitize

test-release: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: deps-test
	cmake -S . -B $(SANITIZE_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DVORN_SANITIZE=ON -DVORN_WERROR=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && VORN_TEST_SKIP=sanitize ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(RUN_BUILD) $(SANITIZE_BUILD)

# Installs vorn and vorn-run into $(PREFIX)/bin.
PREFIX ?= /usr/local

install: program
	cmake --install $(RUN_BUILD) --prefix $(PREFIX)

# Windows: a 64-bit vorn.exe cross-compiled with MinGW-w64, statically linked
# (no DLLs beside it), and the golden scripts run against it under Wine.
# Needs the Debian packages g++-mingw-w64-x86-64 and wine; see
# tests/windows/README.md.
WINDOWS_BUILD ?= build-windows

.PHONY: windows test-windows

windows:
	cmake -S . -B $(WINDOWS_BUILD) $(GENERATOR) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
		-DCMAKE_BUILD_TYPE=Release -DVORN_TESTS=OFF -DVORN_WINDOWS_TOOLS=ON -DVORN_WERROR=ON
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

test-windows: windows
	sh tests/windows/run_tests.sh $(WINDOWS_BUILD)

# Benchmarks of the interpreter against Python 3, Tcl 8.6 and Lua 5.4 (see
# bench/README.md). Needs tclsh8.6 and lua5.4; BENCH_ARGS passes options,
# e.g. `make bench BENCH_ARGS=--quick`.
.PHONY: bench

bench: build
	python3 bench/run --vorn $(BUILD)/vorn $(BENCH_ARGS)

# libFuzzer harnesses (clang++ with libFuzzer; Debian: clang and libclang-rt-dev):
# builds them in $(FUZZ_BUILD) and runs each for FUZZ_SECONDS seconds, one
# after the other; see fuzz/README.md.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60
FUZZ_CXX ?= clang++

.PHONY: fuzz

fuzz:
	cmake -S . -B $(FUZZ_BUILD) $(GENERATOR) -DCMAKE_CXX_COMPILER=$(FUZZ_CXX) -DCMAKE_BUILD_TYPE=Debug \
		-DVORN_FUZZ=ON -DVORN_TESTS=OFF
	cmake --build $(FUZZ_BUILD) --target vorn_fuzzers -j $(JOBS)
	sh fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The playground: the interpreter and the checker compiled to WebAssembly with
# Debian's emscripten, and the page around them, in the static folder
# $(WEB_OUT)/ (serve it with `python3 -m http.server` there). See web/.
WEB_BUILD ?= build-wasm
WEB_OUT ?= build-web
WEB_PACKAGES := emscripten cmake ninja-build python3
# Debian's emscripten finds its JavaScript tools (acorn) there, whichever
# node runs them.
WEB_ENV := NODE_PATH=/usr/share/nodejs

.PHONY: playground test-playground

playground:
	@sh scripts/install-deps.sh $(WEB_PACKAGES)
	$(WEB_ENV) emcmake cmake -S . -B $(WEB_BUILD) $(GENERATOR) -DCMAKE_BUILD_TYPE=Release \
		-DVORN_TESTS=OFF -DVORN_LINE_EDITOR=OFF -DVORN_WERROR=ON
	$(WEB_ENV) cmake --build $(WEB_BUILD) --target vorn-web vorn-check -j $(JOBS)
	rm -rf $(WEB_OUT) && mkdir -p $(WEB_OUT)/lib
	cp web/index.html web/playground.js web/style.css $(WEB_OUT)/
	cp $(WEB_BUILD)/web/vorn-web.js $(WEB_BUILD)/web/vorn-web.wasm \
		$(WEB_BUILD)/web/vorn-check.js $(WEB_BUILD)/web/vorn-check.wasm $(WEB_OUT)/
	cp lib/* $(WEB_OUT)/lib/
	python3 web/assemble.py . $(WEB_OUT)
	@echo "The playground is in $(WEB_OUT)/: cd $(WEB_OUT) && python3 -m http.server"

# The browser test of the playground: Debian's chromium driven by
# playwright-core (npm, pinned in tests/web/package-lock.json).
test-playground: playground
	@command -v chromium >/dev/null 2>&1 || sh scripts/install-deps.sh chromium
	@command -v npm >/dev/null 2>&1 || sh scripts/install-deps.sh npm
	cd tests/web && npm ci --no-audit --no-fund --loglevel=error
	node tests/web/playground.test.js $(WEB_OUT)
