# The two everyday commands: `make demo` builds slicevol and converts the example stack;
# `make test` builds and runs every test. `make test-sanitize` repeats the tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, `make test-tsan` with slicevol under
# ThreadSanitizer, `make test-tiny-blocks` the conversion and clean-up tests there with blocks of
# 16 pixels, where the two workers meet at every turn. `make bench` runs the benchmark (bench/README.md). `make package` builds a
# Debian package and a binary tarball in $(BUILD), `make package-source` the source tarball.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
TSAN_BUILD ?= build-tsan
TINY_BUILD ?= build-tiny-blocks
JOBS ?= 2
CMAKE_FLAGS ?=

# After ctest: why each skipped test was skipped (the reasons ctest itself does not show).
SKIP_REASONS = grep -h '^skipped: ' Testing/Temporary/LastTest.log 2>/dev/null | sort -u | sed 's/^/  /'
CTEST = ctest --output-on-failure --no-tests=error -j $(JOBS)

.PHONY: all configure demo test test-sanitize test-tsan test-tiny-blocks bench package package-source clean

configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

all: configure
	cmake --build $(BUILD) -j $(JOBS)

demo: configure
	cmake --build $(BUILD) -j $(JOBS) --target slicevol makeStack
	rm -rf $(BUILD)/demo && mkdir -p $(BUILD)/demo
	cd $(BUILD)/demo && ../makeStack cloud 256 256 100 && ../slicevol cloud | tail -n 3
	cd $(BUILD)/demo && ls -l cloud_r.df3 cloud_g.df3 cloud_b.df3 && od -A d -t x1 -N 6 cloud_r.df3

test: all
	@cd $(BUILD) && { $(CTEST); status=$$?; $(SKIP_REASONS); exit $$status; }

test-sanitize:
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSLICEVOL_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	@cd $(SANITIZE_BUILD) && { $(CTEST); status=$$?; $(SKIP_REASONS); exit $$status; }

test-tsan:
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSLICEVOL_TSAN=ON $(CMAKE_FLAGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	@cd $(TSAN_BUILD) && { TSAN_OPTIONS=halt_on_error=1 $(CTEST); status=$$?; $(SKIP_REASONS); exit $$status; }

test-tiny-blocks:
	cmake -S . -B $(TINY_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSLICEVOL_TSAN=ON -DSLICEVOL_TEST_BLOCK_PIXELS=16 $(CMAKE_FLAGS)
	cmake --build $(TINY_BUILD) -j $(JOBS)
	@cd $(TINY_BUILD) && { TSAN_OPTIONS=halt_on_error=1 $(CTEST) -R '^(Conversion|CleanUp)[.]'; status=$$?; $(SKIP_REASONS); exit $$status; }

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target slicevol makeStack perVoxelBaseline
	python3 bench/run.py --build $(BUILD)

package: all
	cd $(BUILD) && cpack

package-source: configure
	cd $(BUILD) && cpack --config CPackSourceConfig.cmake

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD) $(TINY_BUILD)
