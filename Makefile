# One-word entry points. Each sets the machine up first (idempotent), then builds with the
# CMake workflow presets in CMakePresets.json.
.PHONY: setup run test bench fuzz format tidy clean

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

# A short run of every fuzz target (FUZZ_SECONDS each); not part of `make test`.
FUZZ_SECONDS ?= 30
fuzz: setup
	cmake --preset fuzz
	cmake --build build/fuzz
	mkdir -p build/fuzz/corpus/classic_reports build/fuzz/corpus/classic_file
	./build/fuzz/fuzz/classic_reports_fuzz -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=build/fuzz/ -max_len=512 build/fuzz/corpus/classic_reports
	./build/fuzz/fuzz/classic_file_fuzz -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=build/fuzz/ -max_len=2048 build/fuzz/corpus/classic_file

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

tidy:
	cmake --preset dev
	git ls-files 'src/*.cpp' | xargs clang-tidy -p build/dev --quiet

clean:
	rm -rf build
