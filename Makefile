# QV Setup: the two commands of the README, and the build folders behind them.
BUILD ?= build
JOBS ?= 2
NATIVE := $(BUILD)/native
WIN64 := $(BUILD)/win64
WIN32 := $(BUILD)/win32
CTEST := ctest --output-on-failure --timeout 600

# Quiet unless V=1: each configure and build is one line (the whole output
# goes to a log beside it, named when it fails), and make's own lines
# ("Entering directory", the commands) stay out of the report.
V ?= 0
MAKEFLAGS += --no-print-directory
ifeq ($(V),1)
Q :=
else
Q := @
endif
QUIET = V=$(V) scripts/quiet.sh
# ctest's own progress is the report; a failure names the log it keeps.
RUN_TESTS = $(CTEST) || { echo "tests failed; the whole output is in $$(pwd)/Testing/Temporary/LastTest.log" >&2; exit 1; }

.PHONY: all deps native win64 win32 test test-native test-win64 demo bench sweep clean
.PHONY: fuzz fuzz-ci sanitize

all: native win64 win32

deps:
	@scripts/install-deps.sh

$(NATIVE)/CMakeCache.txt: | deps
	$(Q)$(QUIET) "configuring $(NATIVE)" $(NATIVE)/configure.log \
	  cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release
$(WIN64)/CMakeCache.txt: | deps
	$(Q)$(QUIET) "configuring $(WIN64)" $(WIN64)/configure.log \
	  cmake -S . -B $(WIN64) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake
$(WIN32)/CMakeCache.txt: | deps
	$(Q)$(QUIET) "configuring $(WIN32)" $(WIN32)/configure.log \
	  cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake

native: deps $(NATIVE)/CMakeCache.txt
	$(Q)$(QUIET) "building $(NATIVE)" $(NATIVE)/build.log cmake --build $(NATIVE) -j$(JOBS)
win64: deps $(WIN64)/CMakeCache.txt
	$(Q)$(QUIET) "building $(WIN64)" $(WIN64)/build.log cmake --build $(WIN64) -j$(JOBS)
win32: deps $(WIN32)/CMakeCache.txt
	$(Q)$(QUIET) "building $(WIN32)" $(WIN32)/build.log cmake --build $(WIN32) -j$(JOBS)

test-native: native
	$(Q)cd $(NATIVE) && $(RUN_TESTS)
# Windows tests run under Wine, in a virtual display so that windows can open.
test-win64: win64
	$(Q)scripts/wine-prefix.sh $(abspath $(WIN64))/wineprefix
	$(Q)cd $(WIN64) && xvfb-run -a -s "-screen 0 1024x768x24" $(RUN_TESTS)

test: native win64 win32 test-native test-win64

demo: native win64
	$(Q)scripts/demo.sh $(NATIVE) $(WIN64)

bench: native win64 win32
	scripts/bench.sh $(NATIVE) $(WIN64)
	scripts/bench-extract.sh $(NATIVE)
	scripts/bench-solid.sh $(NATIVE) $(WIN64)

# The rollback sweep alone (make test runs it too), each scenario printing
# its count of cases and those that held.
sweep: deps $(WIN64)/CMakeCache.txt
	cmake --build $(WIN64) --target engine_rollback_sweep_tests -j$(JOBS)
	scripts/wine-prefix.sh $(abspath $(WIN64))/wineprefix
	cd $(WIN64) && QV_SWEEP_ALL=1 xvfb-run -a -s "-screen 0 1024x768x24" \
	  ctest -V --timeout 3600 -R engine_rollback_sweep_tests

clean:
	rm -rf $(BUILD)

# Readers under libFuzzer (clang) and the native tests under ASan/UBSan.
fuzz: deps
	scripts/fuzz.sh $(BUILD)/fuzz 60
fuzz-ci: deps
	scripts/fuzz.sh $(BUILD)/fuzz 10
sanitize: deps
	scripts/sanitize.sh $(BUILD)/sanitize
