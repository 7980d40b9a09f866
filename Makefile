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
FUZZERS = classic_reports_fuzz classic_file_fuzz vela2_reply_fuzz vela2_file_fuzz hjz_file_fuzz net_parse_fuzz
fuzz: setup
	cmake --preset fuzz
	cmake --build build/fuzz
	for f in $(FUZZERS); do \
	  mkdir -p build/fuzz/corpus/$$f && \
	  ./build/fuzz/fuzz/$$f -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=build/fuzz/$$f- -max_len=2048 \
	    build/fuzz/corpus/$$f || exit 1; \
	done

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

tidy:
	cmake --preset dev
	git ls-files 'src/*.cpp' | xargs clang-tidy -p build/dev --quiet

clean:
	rm -rf build
