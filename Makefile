# Tarnwell: `make` builds the Windows DLL and the Linux plug-in and runs the main job;
# `make test` builds everything and runs every test (native, sanitizers, Windows under Wine).
SHELL := /bin/bash
WINE_RUN := cmake/wine-run.sh

.PHONY: all deps build build-linux build-win64 build-asan dist run test test-linux test-asan test-win64 bench clean

all: build run

deps:
	@scripts/install-deps.sh

build: build-linux build-win64 dist

build-linux: deps
	cmake --preset linux >/dev/null
	cmake --build --preset linux

build-win64: deps
	cmake --preset win64 >/dev/null
	cmake --build --preset win64

build-asan: deps
	cmake --preset linux-asan >/dev/null
	cmake --build --preset linux-asan

dist: build-linux build-win64
	mkdir -p dist/linux
	cp build/win64/src/Tarnwell.dll dist/Tarnwell.dll
	cp build/linux/src/Tarnwell.so dist/linux/Tarnwell.so

# The main job: load the DLL under Wine in our small host and run a test signal through it.
run: dist
	TARNWELL_WINEPREFIX=$(CURDIR)/build/win64/wineprefix $(WINE_RUN) --start
	TARNWELL_WINEPREFIX=$(CURDIR)/build/win64/wineprefix $(WINE_RUN) build/win64/tools/tarnwell-host.exe dist/Tarnwell.dll; \
	  status=$$?; TARNWELL_WINEPREFIX=$(CURDIR)/build/win64/wineprefix $(WINE_RUN) --stop; exit $$status

test: test-linux test-asan test-win64

test-linux: build-linux dist
	ctest --preset linux

test-asan: build-asan
	ctest --preset linux-asan

test-win64: build-win64 dist
	ctest --preset win64

bench: build-linux
	build/linux/bench/tarnwell-bench

clean:
	rm -rf build dist
