# The project's front door.
#   make build  - the launcher templates (32-bit in build/win, 64-bit in build/win64), the
#                 packer, the runtime jar, the test programs
#   make test   - every test: native (sanitized) and Windows (under Wine)
#   make demo   - pack a sample service, run it through the Service Control Manager under Wine,
#                 with the 32-bit and then the 64-bit launcher (make demo64: only the 64-bit one)
#   make dist   - the release archives dist/karvo-<version>.zip and .tar.gz, then their test
#   make format - applies .clang-format to the lines changed since the merge base with main
SHELL := /bin/bash
NATIVE := build/native
WIN := build/win
WIN64 := build/win64
JOBS ?= $(shell nproc)

.PHONY: all bootstrap build build-native build-win build-win64 build-java test test-native test-win demo demo64 \
        demo64-run bench clean dist dist-test format check-format

all: build

bootstrap:
	@bash scripts/bootstrap.sh

build: bootstrap build-native build-win build-win64 build-java

build-java:
	@sh java/build.sh build/java

build-native:
	@cmake -S . -B $(NATIVE) -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build $(NATIVE) -j $(JOBS)

build-win:
	@cmake -S . -B $(WIN) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-i686.cmake \
	  -DKARVO_OTHER_WIDTH_FIXTURES=$(CURDIR)/$(WIN64)/fixtures >/dev/null
	@cmake --build $(WIN) -j $(JOBS)

# Each Windows build's mixed-width tests take the other build's stand-in runtime from its
# fixtures directory at test time; `make build` builds both.
build-win64:
	@cmake -S . -B $(WIN64) -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-x86_64.cmake \
	  -DKARVO_OTHER_WIDTH_FIXTURES=$(CURDIR)/$(WIN)/fixtures >/dev/null
	@cmake --build $(WIN64) -j $(JOBS)

test: build
	@bash scripts/run-tests.sh

test-native: bootstrap build-native
	@cd $(NATIVE) && timeout 900 ctest --output-on-failure -j $(JOBS)

test-win: bootstrap build-win build-win64
	@bash scripts/run-tests.sh win

demo: build
	@bash scripts/demo.sh
	@$(MAKE) --no-print-directory demo64-run

demo64: build
	@$(MAKE) --no-print-directory demo64-run

demo64-run:
	@WIN=$(WIN64) DEMO_ARCH=win64 DEMO_DIR=build/demo64 DEMO_PREFIX=build/wine-demo-prefix64 \
	  bash scripts/demo.sh

bench: build
	@bash scripts/bench.sh

dist: build
	@bash scripts/dist.sh
	@bash scripts/dist-test.sh

# Tests an archive made before (make dist makes and tests it in one go).
dist-test:
	@bash scripts/dist-test.sh

# Only the changed lines: FORMAT_BASE=<commit> widens the range.
format:
	@bash scripts/check-format.sh --fix $(FORMAT_BASE)

check-format:
	@bash scripts/check-format.sh $(FORMAT_BASE)

clean:
	rm -rf build

# Coverage-guided fuzzing of the portable code (libFuzzer, clang 14); not part of `make test`.
#   make fuzz [FUZZ_SECONDS=30] [FUZZ_TARGETS="config-block vm-options"]
FUZZ := build/fuzz
FUZZ_SECONDS ?= 30
FUZZ_TARGETS ?=

.PHONY: fuzz
fuzz:
	@bash scripts/bootstrap-fuzz.sh
	@cmake -S tests/fuzz -B $(FUZZ) -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 >/dev/null
	@cmake --build $(FUZZ) -j $(JOBS)
	@bash scripts/run-fuzz.sh $(FUZZ) $(FUZZ_SECONDS) $(FUZZ_TARGETS)
