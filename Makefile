# Tarnwell: `make` builds the Windows DLL and the Linux plug-in and runs the main job;
# `make test` builds everything and runs every test (native, sanitizers, Windows under Wine,
# and a bounded fuzzing run of the state-block reader).
SHELL := /bin/bash
WINE_RUN := cmake/wine-run.sh
FUZZ_SECONDS ?= 600

# The demo preset: every default band compressing audibly.
DEMO_PRESET := --set 1-Thresh=-30 --set 2-Thresh=-30 --set 3-Thresh=-30 --set 4-Thresh=-30 \
               --set 1-Ratio=4 --set 2-Ratio=4 --set 3-Ratio=4 --set 4-Ratio=4 \
               --set 1-MakeUp=off --set 2-MakeUp=off --set 3-MakeUp=off --set 4-MakeUp=off

.PHONY: all deps build build-linux build-win64 build-asan build-tsan dist run demo test test-linux test-asan \
        test-tsan test-win64 test-fuzz fuzz bench gallery clean

all: build run demo

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

build-tsan: deps
	cmake --preset linux-tsan >/dev/null
	cmake --build --preset linux-tsan

# Each file is written beside the old one and renamed into place, never overwritten: a host
# that has the old plug-in loaded keeps running on it (scripts/install-binary.sh).
dist: build-linux build-win64
	scripts/install-binary.sh build/win64/src/Tarnwell.dll dist/Tarnwell.dll
	scripts/install-binary.sh build/linux/src/Tarnwell.so dist/linux/Tarnwell.so
	scripts/install-binary.sh build/linux/tools/render/tarnwell-render dist/linux/tarnwell-render

# The main job: load the DLL under Wine in our small host and run eight seconds of the demo piece
# through it, then open its editor on the virtual X display that wine-run.sh starts (the piece
# playing on, its spectrum and the gain curve in the graph) and write the picture
# out/editor.png; then the same for the Linux plug-in in the host's Linux build, its editor in
# an X window on an Xvfb of its own: out/editor-linux.png.
run: dist
	mkdir -p out
	TARNWELL_WINEPREFIX=$(CURDIR)/build/win64/wineprefix $(WINE_RUN) --start
	TARNWELL_WINEPREFIX=$(CURDIR)/build/win64/wineprefix $(WINE_RUN) build/win64/tools/host/tarnwell-host.exe \
	  dist/Tarnwell.dll --demo --seconds 8 --editor-picture out/editor.png; \
	  status=$$?; TARNWELL_WINEPREFIX=$(CURDIR)/build/win64/wineprefix $(WINE_RUN) --stop; exit $$status
	xvfb-run -a -s "-screen 0 1024x768x24" build/linux/tools/host/tarnwell-host dist/linux/Tarnwell.so \
	  --demo --seconds 8 --editor-picture out/editor-linux.png

# A generated piece (kick, bass, hats, chords) rendered through the Linux plug-in with a level
# plot: out/demo-in.wav, out/demo-out.wav, out/demo.png.
demo: dist
	mkdir -p out
	build/linux/tools/render/tarnwell-demo-signal out/demo-in.wav --seconds 8
	dist/linux/tarnwell-render out/demo-in.wav out/demo-out.wav $(DEMO_PRESET) --plot out/demo.png --quiet

# Every control of the editor in one window, after three seconds of moving levels: docs/gallery.png.
gallery: build-win64
	TARNWELL_WINEPREFIX=$(CURDIR)/build/win64/wineprefix $(WINE_RUN) --start
	TARNWELL_WINEPREFIX=$(CURDIR)/build/win64/wineprefix $(WINE_RUN) build/win64/tools/gallery/tarnwell-gallery.exe \
	  docs/gallery.png; status=$$?; TARNWELL_WINEPREFIX=$(CURDIR)/build/win64/wineprefix $(WINE_RUN) --stop; exit $$status

test: test-linux test-asan test-tsan test-win64 test-fuzz

test-linux: build-linux dist
	ctest --preset linux

test-asan: build-asan
	ctest --preset linux-asan

test-tsan: build-tsan
	ctest --preset linux-tsan

test-win64: build-win64 dist
	ctest --preset win64

test-fuzz: deps
	scripts/run-fuzz.sh 30

fuzz: deps
	scripts/run-fuzz.sh $(FUZZ_SECONDS)

# Engine speed of every processing path, natively and (the DLL's code) under Wine, the render
# tool's batch against one file after another, then the raster benchmarks, the Win32 editor's
# graph paint under Wine, the Linux editor's whole repaint, and the Linux editor in a host on
# an Xvfb: its threads' processor share with audio running, and 500 opens and closes against
# what the process and the server hold.
bench: build-linux build-win64
	build/linux/bench/tarnwell-speed
	bench/render-batch.sh build/linux
	TARNWELL_WINEPREFIX=$(CURDIR)/build/win64/wineprefix $(WINE_RUN) --start
	TARNWELL_WINEPREFIX=$(CURDIR)/build/win64/wineprefix $(WINE_RUN) build/win64/bench/tarnwell-speed.exe; \
	  status=$$?; TARNWELL_WINEPREFIX=$(CURDIR)/build/win64/wineprefix $(WINE_RUN) --stop; exit $$status
	build/linux/bench/raster/pixo-bench
	TARNWELL_WINEPREFIX=$(CURDIR)/build/win64/wineprefix $(WINE_RUN) --start
	TARNWELL_WINEPREFIX=$(CURDIR)/build/win64/wineprefix $(WINE_RUN) build/win64/bench/editor/graph-paint-bench.exe; \
	  status=$$?; TARNWELL_WINEPREFIX=$(CURDIR)/build/win64/wineprefix $(WINE_RUN) --stop; exit $$status
	build/linux/bench/editor_x11/x11-editor-repaint-bench
	xvfb-run -a -s "-screen 0 1024x768x24" build/linux/bench/editor_x11/tarnwell-editor-x11-bench \
	  build/linux/src/Tarnwell.so
	TARNWELL_OPEN_CLOSE_ROUNDS=500 build/linux/tests/editor/host/editor_open_close_tests

clean:
	rm -rf build dist
