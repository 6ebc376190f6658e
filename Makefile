# The two everyday commands: `make demo` builds slicevol and converts the example stack;
# `make test` builds and runs every test. `make test-sanitize` repeats the tests under
# AddressSanitizer and UndefinedBehaviorSanitizer, `make test-tsan` under ThreadSanitizer.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
TSAN_BUILD ?= build-tsan
JOBS ?= 2

.PHONY: all demo test test-sanitize test-tsan clean

all:
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(BUILD) -j $(JOBS)

demo: all
	rm -rf $(BUILD)/demo && mkdir -p $(BUILD)/demo
	cd $(BUILD)/demo && ../makeStack cloud 256 256 100 && ../slicevol cloud | tail -n 3
	cd $(BUILD)/demo && ls -l cloud_r.df3 cloud_g.df3 cloud_b.df3 && od -A d -t x1 -N 6 cloud_r.df3

test: all
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize:
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSLICEVOL_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS)

test-tsan:
	cmake -S . -B $(TSAN_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSLICEVOL_TSAN=ON
	cmake --build $(TSAN_BUILD) -j $(JOBS)
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD)
