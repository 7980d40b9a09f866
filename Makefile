# One-word entry points. Each sets the machine up first (idempotent), then builds with the
# CMake workflow presets in CMakePresets.json.
.PHONY: setup run test bench fuzz package screenshots format tidy clean

setup:
	./scripts/setup-debian.sh

run: setup
	cmake --workflow --preset release
	./build/release/sim/flashwell-demo

test: setup
	cmake --workflow --preset test

bench: setup
	cmake --workflow --preset release
	./build/release/bench/flashwell-bench
	umockdev-wrapper ./build/release/bench/flashwell-hotplug-bench

# Every screen in English and Chinese, rendered by the demo on a private X display and driven
# through the accessibility tree as the window tests are.
screenshots: setup
	cmake --preset test >/dev/null
	cmake --build build/test --target flashwell-demo
	FLASHWELL_DEMO=build/test/sim/flashwell-demo /usr/bin/python3 tests/e2e/screenshots.py docs/screenshots

# The Debian package (CPack, dependencies from dpkg-shlibdeps), then lintian's verdict on it.
package: setup
	cmake --workflow --preset package
	lintian --info --display-info --fail-on error build/package/flashwell_*.deb

# A short run of every fuzz target (FUZZ_SECONDS each); not part of `make test`.
FUZZ_SECONDS ?= 30
FUZZERS = classic_reports_fuzz classic_file_fuzz vela2_reply_fuzz vela2_file_fuzz hjz_file_fuzz net_parse_fuzz \
  watcher_reply_fuzz report_descriptor_fuzz recording_reader_fuzz
fuzz: setup
	cmake --preset fuzz
	cmake --build build/fuzz
	mkdir -p $(addprefix build/fuzz/corpus/,$(FUZZERS))
	cp fuzz/seeds/net_parse_fuzz/* build/fuzz/corpus/net_parse_fuzz/
	cp fuzz/seeds/recording_reader_fuzz/* build/fuzz/corpus/recording_reader_fuzz/
	./build/fuzz/sim/flashwell-lab build-firmware --out build/fuzz/corpus/classic_file_fuzz/seed --size 200
	./build/fuzz/sim/flashwell-lab build-firmware --format hjz --dev-id 387 --page-size 1024 --size 2048 \
	  --out build/fuzz/corpus/hjz_file_fuzz/seed
	./build/fuzz/sim/flashwell-lab build-firmware --format second-gen --pid 9020 --address 01018000 --size 300 \
	  --out build/fuzz/corpus/vela2_file_fuzz/seed
	for f in $(FUZZERS); do \
	  ./build/fuzz/fuzz/$$f -max_total_time=$(FUZZ_SECONDS) -artifact_prefix=build/fuzz/$$f- -max_len=2048 \
	    build/fuzz/corpus/$$f || exit 1; \
	done

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# clang-tidy over src/, two files at a time; any finding fails (WarningsAsErrors in .clang-tidy).
# Its own build tree: clang cannot read the precompiled headers of a GCC build.
TIDY_JOBS ?= 2
tidy:
	cmake --preset tidy >/dev/null
	run-clang-tidy -quiet -j $(TIDY_JOBS) -p build/tidy '^$(CURDIR)/src/.*\.cpp$$' >build/tidy/findings.txt 2>&1 \
	  || { grep -E 'warning:|error:' build/tidy/findings.txt; exit 1; }

# The house rules that `make test` does not check (CI runs both): every tracked C++ file formatted,
# clang-tidy clean, and the fuzz targets compiling with clang.
.PHONY: check format-check fuzz-build
check: setup format-check tidy fuzz-build

format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

fuzz-build:
	cmake --preset fuzz >/dev/null
	cmake --build build/fuzz

clean:
	rm -rf build
