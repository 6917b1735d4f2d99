# Thin wrapper over the CMake presets.
PRESET ?= default

.PHONY: all build run test bench clean

all: build

build:
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET)

# Starts the program in the repository root, where images/maps is ready for a first table.
run: build
	./build/$(PRESET)/src/grisalturas

test: build
	ctest --preset $(PRESET)

# Times a 20,000,000-row table against dd and an fprintf writer; reports, never fails on speed.
bench:
	cmake --preset default -DGRISALTURAS_BENCHMARKS=ON
	cmake --build --preset default
	bench/run.sh build/default

clean:
	rm -rf build
