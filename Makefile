# Thin wrapper over the CMake presets.
PRESET ?= default
PREFIX ?= /usr/local
FUZZ_SECONDS ?= 60
SOURCES = $(shell git ls-files '*.cpp' '*.hpp' '*.c' '*.H')
WINDOWS_SOURCES = $(shell git ls-files '*_windows.cpp' '*_windows_*.cpp')
LINUX_SOURCES = $(filter-out fuzz/% $(WINDOWS_SOURCES),$(filter %.cpp %.c,$(SOURCES)))
# clang-tidy reads the MinGW build's commands as clang for that target, with the C++ headers of
# the MinGW compiler, which clang does not find by itself.
MINGW_CXX_INCLUDE = $(shell x86_64-w64-mingw32-g++-posix -print-file-name=include/c++)
WINDOWS_TIDY = --extra-arg=--target=x86_64-w64-mingw32 \
	--extra-arg=-isystem$(MINGW_CXX_INCLUDE) --extra-arg=-isystem$(MINGW_CXX_INCLUDE)/x86_64-w64-mingw32

# clang-tidy reads configurations of their own, whose compile commands name no
# precompiled header: those GCC makes for the tests are not clang's.
LINT_CONFIGURATION = -DCMAKE_DISABLE_PRECOMPILE_HEADERS=ON

.PHONY: all build run test test-windows test-portable test-aarch64 test-s390x test-i686 test-armhf test-static test-static-aarch64 install package package-windows package-macos bench fuzz lint clean

all: build

# Builds what is configured: the program, and the tests once `make test` has turned them on.
build:
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET)

# Builds the program alone and starts it in the repository root, where images/maps is ready for a first table.
run:
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET) --target grisalturas
	./build/$(PRESET)/src/grisalturas

# CTEST_ARGS passes options on, such as -LE "slow|root" to leave out the long sweeps and the mounted disks.
test:
	cmake --preset $(PRESET) -DBUILD_TESTING=ON
	cmake --build --preset $(PRESET)
	ctest --preset $(PRESET) $(CTEST_ARGS)

# Cross-builds for Windows with MinGW-w64 and runs every test under Wine.
test-windows:
	$(MAKE) test PRESET=windows

# The program as a system with POSIX alone would build it, and every test.
test-portable:
	$(MAKE) test PRESET=portable

# Cross-builds for Linux on aarch64, s390x (big-endian), i686 or armhf (both 32-bit) and runs every test under qemu-user.
test-aarch64 test-s390x test-i686 test-armhf:
	$(MAKE) test PRESET=$(@:test-%=%)

# The program linked statically against musl with Zig (installed into build/zig on first use),
# for x86-64 or aarch64 (under qemu-user), and every test.
test-static test-static-aarch64:
	$(MAKE) test PRESET=$(@:test-%=%)

install: build
	cmake --install build/$(PRESET) --prefix $(PREFIX)

# A Debian package, or with package-windows a zip, in build/<preset>. Its files are dated
# SOURCE_DATE_EPOCH, by default the time of the last commit, so that the same commit gives
# the same bytes.
SOURCE_DATE_EPOCH ?= $(shell git log -1 --format=%ct 2>/dev/null)
ifneq ($(SOURCE_DATE_EPOCH),)
export SOURCE_DATE_EPOCH
endif

package: build
	cd build/$(PRESET) && cpack

package-windows:
	$(MAKE) package PRESET=windows

# build/macos/grisalturas-<version>-macos.tar.gz: one universal program for Apple silicon and
# Intel, signed ad hoc, built with Zig against Darwin's headers (and never run here).
package-macos:
	$(MAKE) build PRESET=macos-aarch64
	$(MAKE) build PRESET=macos-x86_64
	packaging/package-macos.sh build/macos-aarch64 build/macos-x86_64 build/macos

# Times tables of 8 and 10 digits, negative and of 200,000,000 rows against dd, and an
# fprintf writer; reports, never fails on speed.
bench:
	cmake --preset default -DGRISALTURAS_BENCHMARKS=ON
	cmake --build --preset default
	bench/run.sh build/default

# Replays the committed corpus, then fuzzes for FUZZ_SECONDS more (clang and libFuzzer).
fuzz:
	cmake --preset fuzz
	cmake --build --preset fuzz
	build/fuzz/fuzz/answers_fuzz fuzz/corpus/*
	mkdir -p build/fuzz/corpus
	build/fuzz/fuzz/answers_fuzz -max_total_time=$(FUZZ_SECONDS) -timeout=10 build/fuzz/corpus fuzz/corpus

# The tree follows .clang-format and passes .clang-tidy, and no part of src/ includes one above it.
lint:
	clang-format --dry-run -Werror $(SOURCES)
	cmake/check-layers.sh
	cmake --preset default -B build/lint -DGRISALTURAS_BENCHMARKS=ON -DBUILD_TESTING=ON $(LINT_CONFIGURATION)
	cmake --preset fuzz
	cmake --preset windows -B build/lint-windows -DBUILD_TESTING=ON $(LINT_CONFIGURATION)
	printf '%s\n' $(LINUX_SOURCES) | xargs -P 2 -n 4 clang-tidy -p build/lint --quiet
	clang-tidy -p build/fuzz --quiet $(filter fuzz/%.cpp,$(SOURCES))
	clang-tidy -p build/lint-windows --quiet $(WINDOWS_TIDY) $(WINDOWS_SOURCES)

clean:
	rm -rf build
