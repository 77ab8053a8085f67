# The two commands of the README: `make demo` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo

WINBUILD ?= build-win
WIN_FLAGS ?= -DCMAKE_BUILD_TYPE=Release

PREFIX ?= /usr/local

.PHONY: build test demo bench sanitize fuzz windows msi test-windows install package pictures clean

build:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

# A test that skips says why: each skipping test prints a line "skipped: REASON", gathered
# here from ctest's log.
test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@grep -h '^skipped: ' $(BUILD)/Testing/Temporary/LastTest.log | sort -u || true
	@echo "The Wine end-to-end tests of climon.exe run under make test-windows."

# The demo builds only what it runs.
DEMO_TARGETS = climon climon-sim
demo:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target $(DEMO_TARGETS)
	@ALARMS=$(ALARMS) scripts/demo.sh $(BUILD)

bench: build
	$(BUILD)/bench/transaction_bench
	$(BUILD)/bench/monitor_bench
	$(BUILD)/bench/plot_bench $(BUILD)/climon-plot $(BUILD)/climon-report
	$(BUILD)/bench/crossing_bench

# The unit tests under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	cmake -S . -B $(BUILD)-asan -DCMAKE_BUILD_TYPE=Debug -DCLIMON_SANITIZE=ON -DCLIMON_WERROR=ON \
	  -DCLIMON_E2E=OFF -DCLIMON_BENCH=OFF >/dev/null
	cmake --build $(BUILD)-asan -j $(JOBS)
	cd $(BUILD)-asan && ctest --output-on-failure -j $(JOBS)

# Each fuzz target for FUZZ_SECONDS, with clang's libFuzzer. An input that takes over a
# second, or over 512 MB, is a finding: a hang or a runaway allocation.
FUZZ_SECONDS ?= 10
FUZZ_TARGETS = text_to_int_fuzz plc_text_fuzz key_decoder_fuzz screen_fuzz plot_fuzz
fuzz:
	CXX=clang++ cmake -S . -B $(BUILD)-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCLIMON_FUZZ=ON \
	  -DCLIMON_E2E=OFF -DCLIMON_BENCH=OFF >/dev/null
	cmake --build $(BUILD)-fuzz -j $(JOBS) --target $(FUZZ_TARGETS)
	for f in $(FUZZ_TARGETS); do \
	  $(BUILD)-fuzz/tests/fuzz/$$f -max_total_time=$(FUZZ_SECONDS) -timeout=1 -rss_limit_mb=512 \
	    -malloc_limit_mb=512 -artifact_prefix=$(BUILD)-fuzz/ \
	    >$(BUILD)-fuzz/$$f.log 2>&1 || { tail -n 30 $(BUILD)-fuzz/$$f.log; exit 1; }; \
	  echo "$$f: $$(grep -o 'Done [0-9]* runs.*' $(BUILD)-fuzz/$$f.log)"; \
	done

# climon, climon-sim, climon-plot and the manual pages under PREFIX.
install: build
	cmake --install $(BUILD) --prefix $(PREFIX) --strip

# A Debian package of the same, in $(BUILD).
package: build
	cd $(BUILD) && cpack -G DEB

# The README's pictures, from a real run against climon-sim.
pictures: build
	scripts/pictures.sh $(BUILD)

# climon.exe and its unit tests, cross-built with mingw-w64.
windows:
	cmake -S . -B $(WINBUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake $(WIN_FLAGS) >/dev/null
	cmake --build $(WINBUILD) -j $(JOBS)

# The Windows installer, $(WINBUILD)/climon-VERSION-x64.msi (wixl and msibuild, msitools).
VERSION := $(shell grep -m1 -o 'climon VERSION [0-9.]*' CMakeLists.txt | cut -d' ' -f3)
msi: windows
	scripts/msi.sh $(WINBUILD) $(WINBUILD) $(VERSION)

# The Windows unit tests under Wine, then climon.exe (and its installer) end to end under
# Wine.
test-windows: windows build msi
	CLIMON_WIN_MSI=$(WINBUILD)/climon-$(VERSION)-x64.msi scripts/test-windows.sh $(BUILD) $(WINBUILD)

# The Windows build folder holds the Wine prefix too: its wineserver is stopped first.
clean:
	if [ -d $(WINBUILD)/wineprefix ] && command -v wineserver >/dev/null; then \
	  WINEPREFIX=$(CURDIR)/$(WINBUILD)/wineprefix wineserver -k 2>/dev/null || true; fi
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-fuzz $(WINBUILD)
