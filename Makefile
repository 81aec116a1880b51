# The two commands of the README: `make run` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
BENCH_BUILD ?= build-bench
TSAN_BUILD ?= build-tsan
WINDOWS_BUILD ?= build-windows
PACKAGE_BUILD ?= build-package
JOBS       ?= $(shell nproc)
FUZZ_SECONDS ?= 20
CMAKE      ?= cmake
CPACK      ?= cpack
# The compiler cache keys on paths relative to this folder, so a fresh clone
# elsewhere reuses what an earlier build compiled.
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_NOHASHDIR := 1
# CI builds treat warnings as errors.
ifeq ($(CI),true)
WERROR := -DTONEFIELD_WERROR=ON
endif

.PHONY: all bootstrap build run test test-core test-windows test-asan tsan bench fuzz package windows windows-package clean

all: build

bootstrap:
	@scripts/bootstrap

build: bootstrap
	$(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR)
	$(CMAKE) --build $(BUILD) -j$(JOBS)

run: build
	@scripts/run $(BUILD)

test: bootstrap test-core test-windows fuzz test-asan

# Tests on real sound and MIDI servers (label real_server) depend on the
# timing of a shared machine: one that fails is run once more, and its
# first failure stays in the log.
CTEST_RUN = ctest --output-on-failure -j$(JOBS) -LE real_server && \
	ctest --output-on-failure -L real_server --repeat until-pass:2

test-core:
	$(CMAKE) -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(WERROR)
	$(CMAKE) --build $(BUILD) -j$(JOBS)
	cd $(BUILD) && $(CTEST_RUN)

# The core, tonefield-render and the window (tonefield.exe) cross-built for
# 64-bit Windows (mingw-w64); its tests run under wine, in a prefix inside
# the build folder, the window's on a private X desktop.
windows: bootstrap
	$(CMAKE) -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake \
	  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONEFIELD_GUI=ON $(WERROR)
	$(CMAKE) --build $(WINDOWS_BUILD) -j$(JOBS)

test-windows: windows
	cd $(WINDOWS_BUILD) && ctest --output-on-failure -j$(JOBS)

# tonefield-<version>-windows-x64.zip in $(WINDOWS_BUILD): the programs, a read-me and the licences.
windows-package: windows
	$(CMAKE) --build $(WINDOWS_BUILD) --target windows-package
	@ls -1 $(WINDOWS_BUILD)/tonefield-*-windows-x64.zip

test-asan:
	$(CMAKE) -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DTONEFIELD_SANITIZE=ON $(WERROR)
	$(CMAKE) --build $(ASAN_BUILD) -j$(JOBS)
	cd $(ASAN_BUILD) && export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 && \
	  $(CTEST_RUN)

# ThreadSanitizer (clang) over everything that crosses threads: the engine
# (with its stress test), the SDL devices, the MIDI input and the window's
# core. tsan_broken_handoff is the negative control: it must fail.
TSAN_TESTS := engine_test tsan_broken_handoff sdl_test midi_test app_test pipewire_test
tsan: bootstrap
	CC=clang CXX=clang++ $(CMAKE) -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONEFIELD_TSAN=ON -DTONEFIELD_GUI=OFF $(WERROR)
	$(CMAKE) --build $(TSAN_BUILD) -j$(JOBS) --target $(TSAN_TESTS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --output-on-failure -j$(JOBS) -R '^(engine_test|tsan_broken_handoff|sdl_test|midi_test|app_test|pipewire_test|pipewire_session_test)$$'

# The Debian package, built apart from the test build: without the tests,
# with Debian's hardening flags, then checked by lintian (no error, no
# warning). Install it with sudo apt install ./$(PACKAGE_BUILD)/tonefield_*.deb
package: bootstrap
	$(CMAKE) -S . -B $(PACKAGE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONEFIELD_TESTS=OFF -DTONEFIELD_HARDENING=ON $(WERROR)
	$(CMAKE) --build $(PACKAGE_BUILD) -j$(JOBS)
	cd $(PACKAGE_BUILD) && $(CPACK) -G DEB
	lintian --pedantic --fail-on error,warning $(PACKAGE_BUILD)/tonefield_*.deb
	@ls -1 $(PACKAGE_BUILD)/tonefield_*.deb

bench: bootstrap
	$(CMAKE) -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DTONEFIELD_BENCH=ON -DTONEFIELD_TESTS=OFF -DTONEFIELD_GUI=OFF
	$(CMAKE) --build $(BENCH_BUILD) -j$(JOBS)
	@scripts/run-benchmarks $(BENCH_BUILD)

# libFuzzer targets, built with clang; `make test` runs each for a short, bounded time.
fuzz: bootstrap
	CC=clang CXX=clang++ $(CMAKE) -S . -B $(FUZZ_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTONEFIELD_FUZZ=ON -DTONEFIELD_GUI=OFF
	$(CMAKE) --build $(FUZZ_BUILD) -j$(JOBS)
	@scripts/run-fuzzers $(FUZZ_BUILD) $(FUZZ_SECONDS)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) $(TSAN_BUILD) $(WINDOWS_BUILD) $(PACKAGE_BUILD)
