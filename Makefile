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
WINDOWS_BUILD ?= build-windows
WINE_TEST_BUILD ?= build-wine-tests
JOBS ?= 2
CMAKE_FLAGS ?=
# The builds' own make need not say which folder it enters and leaves.
MAKEFLAGS += --no-print-directory

# ctest in a build folder, then how many tests ran and how many were skipped, and why each skipped
# test or row was (the reasons ctest itself does not show). Exits with ctest's status.
CTEST = ctest --output-on-failure --no-tests=error -j $(JOBS)
define RUN_TESTS
	@cd $(1) && mkdir -p Testing && { { $(2) $(CTEST) $(3); echo $$? >Testing/status; } | tee Testing/summary; \
	total=$$(sed -n 's/.* tests failed out of \([0-9]*\)$$/\1/p' Testing/summary); \
	skipped=$$(grep -c '(Skipped)$$' Testing/summary); \
	echo "$$(( $${total:-0} - skipped )) tests ran, $$skipped skipped$$(test $$skipped = 0 || echo ', why:')"; \
	grep -h '^skipped: ' Testing/Temporary/LastTest.log 2>/dev/null | sort -u | sed 's/^/  /'; \
	exit $$(cat Testing/status); }
endef
# Without GoogleTest the build has no tests: say so last, where a newcomer looks, and stop. A
# recipe is expanded only once its prerequisites are built, so the build folder is there by then.
NEED_TESTS = $(if $(wildcard $(1)/tests/CTestTestfile.cmake),,$(error no tests were built: GoogleTest was not found (Debian and Ubuntu: apt-get install libgtest-dev)))

.PHONY: windows test-windows test-windows-build package-windows
.PHONY: all configure demo test test-sanitize test-tsan test-tiny-blocks test-sanitize-build test-tsan-build test-tiny-blocks-build bench package package-source clean

configure:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)

# An existing build is configured again only when CMAKE_FLAGS asks for something; otherwise the
# build itself reconfigures when a CMakeLists.txt changed.
all:
	@if [ -n "$(CMAKE_FLAGS)" ] || [ ! -f $(BUILD)/CMakeCache.txt ]; then $(MAKE) configure; fi
	cmake --build $(BUILD) -j $(JOBS)

# The demo shows what a newcomer needs: the build's progress (a line a file, so that a slow machine
# shows life), the conversion, the three volumes.
demo:
	@echo "== building $(BUILD)/slicevol"
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target slicevol makeStack
	@echo "== converting a 100-slice example stack in $(BUILD)/demo/ (last 3 progress lines)"
	@rm -rf $(BUILD)/demo && mkdir -p $(BUILD)/demo
	@cd $(BUILD)/demo && ../makeStack cloud 256 256 100 && ../slicevol cloud | tail -n 3
	@echo "== the three volumes, and the red one's 6-byte header"
	@cd $(BUILD)/demo && ls -l cloud_r.df3 cloud_g.df3 cloud_b.df3 && od -A d -t x1 -N 6 cloud_r.df3

test: all
	$(call NEED_TESTS,$(BUILD))
	$(call RUN_TESTS,$(BUILD))

test-sanitize-build:
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSLICEVOL_SANITIZE=ON $(CMAKE_FLAGS)
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)

test-sanitize: test-sanitize-build
	$(call NEED_TESTS,$(SANITIZE_BUILD))
	$(call RUN_TESTS,$(SANITIZE_BUILD))

test-tsan-build:
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSLICEVOL_TSAN=ON $(CMAKE_FLAGS)
	cmake --build $(TSAN_BUILD) -j $(JOBS)

test-tsan: test-tsan-build
	$(call NEED_TESTS,$(TSAN_BUILD))
	$(call RUN_TESTS,$(TSAN_BUILD),TSAN_OPTIONS=halt_on_error=1)

test-tiny-blocks-build:
	cmake -S . -B $(TINY_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSLICEVOL_TSAN=ON -DSLICEVOL_TEST_BLOCK_PIXELS=16 $(CMAKE_FLAGS)
	cmake --build $(TINY_BUILD) -j $(JOBS)

test-tiny-blocks: test-tiny-blocks-build
	$(call NEED_TESTS,$(TINY_BUILD))
	$(call RUN_TESTS,$(TINY_BUILD),TSAN_OPTIONS=halt_on_error=1,-R '^(Conversion|CleanUp)[.]')

# slicevol.exe for 64-bit Windows, cross-built with MinGW-w64 (Debian: mingw-w64,
# g++-mingw-w64-x86-64-posix) and linked statically; its tests are the same suite, run against the
# exe under Wine (Debian: wine, wine64), with the tests that need POSIX skipped and saying why.
windows:
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release -DSLICEVOL_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(WINDOWS_BUILD) -j $(JOBS) --target slicevol holdFile startWithout

test-windows-build: windows
	cmake -S . -B $(WINE_TEST_BUILD) -DCMAKE_BUILD_TYPE=Release -DSLICEVOL_TEST_EXE=$(abspath $(WINDOWS_BUILD))/slicevol.exe -DSLICEVOL_TEST_LAUNCHER=wine64 $(CMAKE_FLAGS)
	cmake --build $(WINE_TEST_BUILD) -j $(JOBS) --target slicevolTests

test-windows: test-windows-build
	$(call NEED_TESTS,$(WINE_TEST_BUILD))
	$(call RUN_TESTS,$(WINE_TEST_BUILD),WINEDEBUG=-all)

# slicevol-<version>-win64.zip and its .sha256: the exe (stripped), the drop target, the example
# scene, the manual as text, a README and the runtime's licence notices, with Windows line ends.
package-windows: windows
	cmake -DBUILD=$(abspath $(WINDOWS_BUILD)) -DSOURCE=$(CURDIR) -P cmake/packageWindows.cmake

bench: configure
	cmake --build $(BUILD) -j $(JOBS) --target slicevol makeStack perVoxelBaseline
	python3 bench/run.py --build $(BUILD)

# The package is built with Debian's hardening flags (dpkg-buildflags, every hardening feature on),
# as Debian builds its own packages; the build folder keeps them from then on.
HARDENING = DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get
package:
	@command -v dpkg-buildflags >/dev/null || { echo "make package needs dpkg-buildflags (Debian and Ubuntu: apt-get install dpkg-dev)"; exit 1; }
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS) \
	    -DCMAKE_C_FLAGS="$$($(HARDENING) CFLAGS) $$($(HARDENING) CPPFLAGS)" \
	    -DCMAKE_CXX_FLAGS="$$($(HARDENING) CXXFLAGS) $$($(HARDENING) CPPFLAGS)" \
	    -DCMAKE_EXE_LINKER_FLAGS="$$($(HARDENING) LDFLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$$($(HARDENING) LDFLAGS)"
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && cpack

# The source tarball holds what git tracks, as the working tree has it: no stray notes, no builds.
package-source:
	@version=$$(sed -n 's/^project(slicevol VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt) && \
	name=slicevol-$$version-Source && mkdir -p $(BUILD) && \
	git ls-files -z | tar --null -T - --transform "s,^,$$name/," -czf $(BUILD)/$$name.tar.gz && \
	echo "$(BUILD)/$$name.tar.gz"

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD) $(TINY_BUILD) $(WINDOWS_BUILD) $(WINE_TEST_BUILD)
