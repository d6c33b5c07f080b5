# QV Setup: the two commands of the README, and the build folders behind them.
BUILD ?= build
JOBS ?= 2
NATIVE := $(BUILD)/native
WIN64 := $(BUILD)/win64
WIN32 := $(BUILD)/win32
CTEST := ctest --output-on-failure --timeout 600

.PHONY: all deps native win64 win32 test test-native test-win64 demo bench sweep clean
.PHONY: fuzz fuzz-ci sanitize

all: native win64 win32

deps:
	@scripts/install-deps.sh

$(NATIVE)/CMakeCache.txt: | deps
	cmake -S . -B $(NATIVE) -DCMAKE_BUILD_TYPE=Release
$(WIN64)/CMakeCache.txt: | deps
	cmake -S . -B $(WIN64) -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-x86_64.cmake
$(WIN32)/CMakeCache.txt: | deps
	cmake -S . -B $(WIN32) -DCMAKE_BUILD_TYPE=Release -DQV_TESTS=OFF -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-i686.cmake

native: deps $(NATIVE)/CMakeCache.txt
	cmake --build $(NATIVE) -j$(JOBS)
win64: deps $(WIN64)/CMakeCache.txt
	cmake --build $(WIN64) -j$(JOBS)
win32: deps $(WIN32)/CMakeCache.txt
	cmake --build $(WIN32) -j$(JOBS)

test-native: native
	cd $(NATIVE) && $(CTEST)
# Windows tests run under Wine, in a virtual display so that windows can open.
test-win64: win64
	scripts/wine-prefix.sh $(abspath $(WIN64))/wineprefix
	cd $(WIN64) && xvfb-run -a -s "-screen 0 1024x768x24" $(CTEST)

test: native win64 win32 test-native test-win64

demo: native win64
	scripts/demo.sh $(NATIVE) $(WIN64)

bench: native win64
	scripts/bench.sh $(NATIVE) $(WIN64)

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
