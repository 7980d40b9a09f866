# One-word entry points. Each sets the machine up first (idempotent), then builds with the
# CMake workflow presets in CMakePresets.json.
.PHONY: setup run demo test bench format tidy clean

setup:
	./scripts/setup-debian.sh

run: setup
	cmake --workflow --preset release
	./build/release/sim/flashwell-lab discover

test: setup
	cmake --workflow --preset test

bench: setup
	cmake --workflow --preset release
	./build/release/bench/flashwell-bench

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

tidy:
	cmake --preset dev
	git ls-files 'src/*.cpp' | xargs clang-tidy -p build/dev --quiet

clean:
	rm -rf build
