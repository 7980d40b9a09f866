# One-word entry points. Each sets the machine up first (idempotent), then builds with the
# CMake workflow presets in CMakePresets.json.
.PHONY: setup run test bench soak fuzz package screenshots format tidy clean mutants

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

# Endurance: a thousand whole updates in one process (a few minutes), then a hundred through the
# window's screens (offscreen).
soak: setup
	cmake --workflow --preset release
	./build/release/bench/flashwell-soak-bench --benchmark_filter=BM_SoakUpdates/1000
	QT_QPA_PLATFORM=offscreen ./build/release/bench/flashwell-window-soak-bench --benchmark_filter=BM_WindowSoak/100

# Mutation score: MUTANTS small faults sampled from src/ with SEED (FOLDER narrows it), each built
# in build/mutants and judged by its layer's tests; a table per folder, results in
# build/mutants/results.json. COMPARE=an earlier results file lists the verdicts that changed;
# AGAIN=an earlier results file judges only the mutants it killed (after the tests were cut).
MUTANTS ?= 60
SEED ?= 1
FOLDER ?= src
COMPARE ?=
AGAIN ?=
mutants: setup
	cmake --preset mutants >/dev/null
	nice -n 10 /usr/bin/python3 scripts/mutants.py --mutants $(MUTANTS) --seed $(SEED) --folder $(FOLDER) \
	  $(if $(COMPARE),--compare $(COMPARE)) $(if $(AGAIN),--again $(AGAIN))

# The Debian package (CPack, dependencies from dpkg-shlibdeps), then lintian's verdict on it.
package: setup
	cmake --workflow --preset package
	lintian --info --display-info --fail-on error build/package/flashwell_*.deb

# Every fuzz target from its committed seeds (fuzz/seeds/<target>/) for FUZZ_RUNS inputs each, new
# finds kept in build/fuzz/corpus/<target>/; not part of `make test`. FUZZ_SECONDS, when set, bounds
# each target by time instead.
FUZZ_RUNS ?= 1000000
FUZZ_SECONDS ?=
FUZZ_LIMIT = $(if $(FUZZ_SECONDS),-max_total_time=$(FUZZ_SECONDS),-runs=$(FUZZ_RUNS))
# A small quarantine and short allocation stacks: the session targets allocate for every report, and
# ASan's defaults (256 MiB of quarantine, 30-frame stacks) cost them two thirds of their time in page
# faults and stack unwinding. Use-after-free within the last 8 MiB freed is still caught.
FUZZ_ENV = ASAN_OPTIONS=quarantine_size_mb=8:malloc_context_size=4
FUZZERS = classic_reports_fuzz classic_file_fuzz vela2_reply_fuzz vela2_file_fuzz hjz_file_fuzz net_parse_fuzz \
  watcher_reply_fuzz report_descriptor_fuzz recording_reader_fuzz
fuzz: setup fuzz-build
	for f in $(FUZZERS); do \
	  mkdir -p build/fuzz/corpus/$$f && \
	  $(FUZZ_ENV) ./build/fuzz/fuzz/$$f $(FUZZ_LIMIT) -artifact_prefix=build/fuzz/$$f- -max_len=2048 -print_final_stats=1 \
	    build/fuzz/corpus/$$f fuzz/seeds/$$f || exit 1; \
	done

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

# clang-tidy over src/ and sim/, two files at a time; any finding fails (WarningsAsErrors in .clang-tidy).
# Its own build tree: clang cannot read the precompiled headers of a GCC build.
TIDY_JOBS ?= 2
tidy:
	cmake --preset tidy >/dev/null
	run-clang-tidy -quiet -j $(TIDY_JOBS) -p build/tidy '^$(CURDIR)/(src|sim)/.*\.cpp$$' >build/tidy/findings.txt 2>&1 \
	  || { grep -E 'warning:|error:' build/tidy/findings.txt; exit 1; }

# clazy (KDE's checker of Qt usage), levels 0 and 1, over src/ and sim/ on the tidy tree's compile
# database; any finding fails. A suppression (// clazy:exclude=CHECK) says why on its line.
clazy:
	cmake --preset tidy >/dev/null
	git ls-files 'src/*.cpp' 'sim/*.cpp' | xargs -P $(TIDY_JOBS) -n 8 clazy-standalone -p build/tidy \
	  -checks=level0,level1 >build/tidy/clazy.txt 2>&1; \
	  if grep -E 'warning:|error:' build/tidy/clazy.txt; then exit 1; fi

# The house rules that `make test` does not check (CI runs both): every tracked C++ file formatted,
# clang-tidy and clazy clean, and the fuzz targets compiling with clang, replaying their seeds and
# fuzzing briefly.
.PHONY: check format-check clazy fuzz-build fuzz-check
check: setup format-check tidy clazy fuzz-check

format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

# Only the targets: the window, the programs and the demo are not fuzzed, and CI builds this tree cold.
fuzz-build:
	cmake --preset fuzz >/dev/null
	cmake --build build/fuzz --target $(FUZZERS)

# Every committed seed replayed, then each target fuzzed for FUZZ_CHECK_SECONDS from its seeds (the
# finds go to a scratch folder): a parser that crashes or slows to a crawl fails CI.
FUZZ_CHECK_SECONDS ?= 10
fuzz-check: fuzz-build
	for f in $(FUZZERS); do \
	  $(FUZZ_ENV) ./build/fuzz/fuzz/$$f -runs=0 -max_len=2048 fuzz/seeds/$$f || exit 1; \
	  rm -rf build/fuzz/check/$$f && mkdir -p build/fuzz/check/$$f && \
	  $(FUZZ_ENV) ./build/fuzz/fuzz/$$f -max_total_time=$(FUZZ_CHECK_SECONDS) -max_len=2048 -artifact_prefix=build/fuzz/$$f- \
	    build/fuzz/check/$$f fuzz/seeds/$$f || exit 1; \
	done

clean:
	rm -rf build
