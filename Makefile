# make demo   build everything, pack the example package, run it silently under Wine
# make test   build everything, check the include layers, run every test tier
# make build  stubs into out/ (i686) and out/x64/, the packaging tool into out/
# make bench  benchmarks against peers (bench/README.md)
SHELL := /bin/bash
BUILD := build
OUT := out
CMAKE_WIN = cmake -G Ninja -DCMAKE_BUILD_TYPE=Release --no-warn-unused-cli

.PHONY: setup build test demo bench clean

setup:
	@tools/setup.sh

build: setup
	$(CMAKE_WIN) -S . -B $(BUILD)/i686 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake \
	    -DZEL_E2E=ON -DZEL_ZELPACK=$(CURDIR)/$(OUT)/zelpack >/dev/null
	$(CMAKE_WIN) -S . -B $(BUILD)/x64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake \
	    -DZEL_E2E=ON -DZEL_ZELPACK=$(CURDIR)/$(OUT)/zelpack >/dev/null
	ninja -C $(BUILD)/i686
	ninja -C $(BUILD)/x64
	@mkdir -p $(OUT)/x64
	@if [ -f tools/zelpack/CMakeLists.txt ]; then \
	  cmake -G Ninja -DCMAKE_BUILD_TYPE=Release -S tools/zelpack -B $(BUILD)/host \
	    -DZELPACK_STUB_I686=$(CURDIR)/$(BUILD)/i686/ZelSelfExtractorUI.exe \
	    -DZELPACK_STUB_X64=$(CURDIR)/$(BUILD)/x64/ZelSelfExtractorUI.exe >/dev/null && \
	  ninja -C $(BUILD)/host && install -m 755 $(BUILD)/host/zelpack $(OUT)/zelpack; fi
	install -m 644 $(BUILD)/i686/ZelSelfExtractorUI.exe $(OUT)/ZelSelfExtractorUI.exe
	install -m 644 $(BUILD)/x64/ZelSelfExtractorUI.exe $(OUT)/x64/ZelSelfExtractorUI.exe

test: build
	@status=0; \
	tools/check-layers.sh || status=1; \
	if [ -d $(BUILD)/host ]; then (cd $(BUILD)/host && ctest --output-on-failure) || status=1; fi; \
	if tools/wine --can-run-32bit; then (cd $(BUILD)/i686 && ctest --output-on-failure) || status=1; \
	else echo "== i686 tier not run: this machine cannot execute 32-bit programs (docs/testing.md)"; fi; \
	(cd $(BUILD)/x64 && ctest --output-on-failure) || status=1; \
	exit $$status

demo: build
	@tools/demo.sh

# Benchmarks against peers (not part of make test); see bench/README.md.
bench: build
	bench/run.sh

clean:
	rm -rf $(BUILD) $(OUT)
