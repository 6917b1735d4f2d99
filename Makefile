# Thin wrapper over the CMake presets.
PRESET ?= default

.PHONY: all build run test clean

all: build

build:
	cmake --preset $(PRESET)
	cmake --build --preset $(PRESET)

# Starts the program in the repository root, where images/maps is ready for a first table.
run: build
	./build/$(PRESET)/src/grisalturas

test: build
	ctest --preset $(PRESET)

clean:
	rm -rf build
