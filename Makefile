# The two commands of the README: `make demo` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

.PHONY: build test demo bench sanitize clean

build:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	@scripts/demo.sh $(BUILD)

bench: build
	$(BUILD)/bench/transaction_bench
	$(BUILD)/bench/monitor_bench

# The unit tests under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DCLIMON_SANITIZE=ON -DCLIMON_WERROR=ON \
	  -DCLIMON_E2E=OFF -DCLIMON_BENCH=OFF >/dev/null
	cmake --build $(BUILD)-asan -j $(JOBS)
	cd $(BUILD)-asan && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD) $(BUILD)-asan
