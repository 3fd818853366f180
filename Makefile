# Front door for the common jobs. Every target installs what it needs first.
SHELL := /bin/bash
JOBS ?= $(shell nproc)
STEPS ?= 2

.PHONY: all deps build asan fuzz windows web serve-web demo demo-text test test-linux test-asan \
        test-fuzz test-windows test-web run screenshots screenshots-web bench bench-window \
        bench-web dist format clean

all: build

deps:
	scripts/setup-deps linux

build: deps
	cmake --preset linux >/dev/null
	cmake --build --preset linux -j $(JOBS)

asan: deps
	cmake --preset linux-asan >/dev/null
	cmake --build --preset linux-asan -j $(JOBS)

# 64-bit Windows programs (MinGW-w64), in build/windows/bin. The static libraries they link are
# cross-built once into a cache outside the tree (scripts/build-windows-deps prints where).
windows:
	@deps=$$(scripts/build-windows-deps) && \
	    cmake --preset windows -DMELVANE_WINDOWS_DEPS="$$deps" >/dev/null
	cmake --build --preset windows -j $(JOBS)

# The page in build/web/: index.html and one script with the engine's WebAssembly inside, which
# works opened from disk and from any static host. Debian's emscripten builds it; the libraries
# it links are built once into a cache outside the tree (scripts/build-web-deps prints where).
# emscripten's tools need Debian's node modules whichever node runs them.
WEB_ENV := NODE_PATH=/usr/share/nodejs
web:
	@deps=$$(scripts/build-web-deps) && \
	    $(WEB_ENV) cmake --preset web -DMELVANE_WEB_DEPS="$$deps" >/dev/null
	$(WEB_ENV) cmake --build --preset web -j $(JOBS)
	scripts/assemble-web build/wasm/bin/melvane.js build/web $(VERSION)

# The page on 127.0.0.1, at a free port (printed), for trying it as an installed app.
serve-web: web
	scripts/serve-web build/web

# The fuzz targets need clang; without it they are skipped with a note.
fuzz:
	@if command -v clang++ >/dev/null; then \
	    scripts/setup-deps fuzz && cmake --preset fuzz >/dev/null && \
	    cmake --build --preset fuzz -j $(JOBS); \
	else echo "clang++ not found: fuzz targets skipped"; fi

DEMO_SHEET := examples/leuchtturm.odt
DEMO_OUT := build/demo/leuchtturm$(if $(filter-out -%,$(STEPS)),+)$(STEPS).odt
DEMO_DOCX := examples/abendlied.docx
DEMO_DOCX_OUT := build/demo/abendlied$(if $(filter-out -%,$(STEPS)),+)$(STEPS).docx

# Transposes the bundled song sheets (OpenDocument and Word) and shows their paragraphs before
# and after.
demo: build
	@mkdir -p build/demo
	@echo "== $(DEMO_SHEET) as written =="
	@build/linux/bin/melvane-cli --print $(DEMO_SHEET)
	@echo
	@echo "== melvane-cli --steps $(STEPS) -o $(DEMO_OUT) $(DEMO_SHEET) =="
	@build/linux/bin/melvane-cli --steps $(STEPS) -o $(DEMO_OUT) $(DEMO_SHEET)
	@echo
	@echo "== $(DEMO_OUT) =="
	@build/linux/bin/melvane-cli --print $(DEMO_OUT)
	@echo
	@echo "== $(DEMO_DOCX) as written =="
	@build/linux/bin/melvane-cli --print $(DEMO_DOCX)
	@echo
	@echo "== melvane-cli --steps $(STEPS) -o $(DEMO_DOCX_OUT) $(DEMO_DOCX) =="
	@build/linux/bin/melvane-cli --steps $(STEPS) -o $(DEMO_DOCX_OUT) $(DEMO_DOCX)
	@echo
	@echo "== $(DEMO_DOCX_OUT) =="
	@build/linux/bin/melvane-cli --print $(DEMO_DOCX_OUT)

# The same with plain text through the filter mode.
demo-text: build
	@echo "== examples/lullaby.txt as written =="
	@cat examples/lullaby.txt
	@echo
	@echo "== moved up $(STEPS) semitones (melvane-cli --text --steps $(STEPS)) =="
	@build/linux/bin/melvane-cli --text --steps $(STEPS) < examples/lullaby.txt

test: test-linux test-asan test-fuzz test-windows test-web

test-linux: build
	ctest --preset linux -j $(JOBS)

test-asan: asan
	ctest --preset linux-asan -j $(JOBS)

# Short libFuzzer runs over the transposition (classic and both sheet-aware passes), the XML
# rewrite, whole packages (and one flipped bit in a sound package's untouched entries, which must
# always be refused) and the .docx text walk: enough to catch a crash on fresh input.
test-fuzz: fuzz
	@if [ -x build/fuzz/bin/transpose_fuzz ]; then \
	    set -o pipefail; build/fuzz/bin/transpose_fuzz -max_total_time=20 -max_len=512 \
	        -artifact_prefix=build/fuzz/ 2>&1 | tail -n 2; \
	fi
	@if [ -x build/fuzz/bin/sheet_fuzz ]; then \
	    set -o pipefail; build/fuzz/bin/sheet_fuzz -max_total_time=20 -max_len=1024 \
	        -artifact_prefix=build/fuzz/ 2>&1 | tail -n 2; \
	fi
	@if [ -x build/fuzz/bin/xml_fuzz ]; then \
	    set -o pipefail; rm -rf build/fuzz/xml_corpus; cp -r fuzz/xml_seeds build/fuzz/xml_corpus; \
	    build/fuzz/bin/xml_fuzz -max_total_time=20 -max_len=2048 -artifact_prefix=build/fuzz/ \
	        build/fuzz/xml_corpus 2>&1 | tail -n 2; \
	fi
	@if [ -x build/fuzz/bin/package_fuzz ]; then \
	    set -o pipefail; rm -rf build/fuzz/package_corpus; mkdir -p build/fuzz/package_corpus; \
	    cp examples/leuchtturm.odt build/fuzz/package_corpus/; \
	    build/fuzz/bin/package_fuzz -max_total_time=20 -max_len=16384 -artifact_prefix=build/fuzz/ \
	        build/fuzz/package_corpus 2>&1 | tail -n 2; \
	fi
	@if [ -x build/fuzz/bin/package_flip_fuzz ]; then \
	    set -o pipefail; build/fuzz/bin/package_flip_fuzz -max_total_time=20 -max_len=8 \
	        -artifact_prefix=build/fuzz/ 2>&1 | tail -n 2; \
	fi
	@if [ -x build/fuzz/bin/docx_fuzz ]; then \
	    set -o pipefail; rm -rf build/fuzz/docx_corpus; cp -r fuzz/docx_seeds build/fuzz/docx_corpus; \
	    build/fuzz/bin/docx_fuzz -max_total_time=20 -max_len=4096 -artifact_prefix=build/fuzz/ \
	        build/fuzz/docx_corpus 2>&1 | tail -n 2; \
	fi

# Under Wine, on one private X display for the whole run: no window reaches the desktop, and
# every Wine process of the run shares the same display.
test-windows: windows
	xvfb-run -a -s "-nolisten tcp" ctest --preset windows -j $(JOBS)

# The page in headless Chromium: each example sheet chosen, steps and spelling set with the
# keyboard, transposed, and the download compared with melvane-cli's output.
test-web: web build
	tests/web/page_test.py

# The window. On Windows it starts as it is; elsewhere under Wine (on the current display, or an
# invisible one when there is none).
run: windows
ifeq ($(OS),Windows_NT)
	build/windows/bin/Melvane.exe
else
	cmake/wine-run.sh build/windows/bin/Melvane.exe
endif

# Start-up of the window under Wine: process start to the first painted face, at 100 and 150 %.
bench-window: windows
	bench/window_startup.sh 96
	bench/window_startup.sh 144

# Pictures of the window in both languages for README.md, made by the program itself.
screenshots: windows screenshots-web
	@mkdir -p docs
	xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" cmake/wine-run.sh \
	    build/windows/bin/Melvane.exe --snapshot "Z:$(CURDIR)/docs/window-en.png" --language en
	# The example sheet where the shots choose it, so that its key shows beside the steps.
	for prefix in wineprefix wineprefix-144; do \
	    mkdir -p "build/windows/$$prefix/drive_c/Lieder" "build/windows/$$prefix/drive_c/Songs" && \
	    cp examples/leuchtturm.odt "build/windows/$$prefix/drive_c/Lieder/Der Leuchtturm.odt" && \
	    cp examples/leuchtturm.odt "build/windows/$$prefix/drive_c/Songs/The Lighthouse.odt"; \
	done
	xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" cmake/wine-run.sh \
	    build/windows/bin/Melvane.exe --snapshot "Z:$(CURDIR)/docs/window-de.png" --language de \
	    --document 'C:\Lieder\Der Leuchtturm.odt' --steps 3
	# At 150 % (144 DPI), in a Wine prefix made with that scale.
	MELVANE_WINE_DPI=144 xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" cmake/wine-run.sh \
	    --prefix "$(CURDIR)/build/windows/wineprefix-144" \
	    build/windows/bin/Melvane.exe --snapshot "Z:$(CURDIR)/docs/window-en-150.png" --language en \
	    --document 'C:\Songs\The Lighthouse.odt' --steps 2
	MELVANE_WINE_DPI=144 xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" cmake/wine-run.sh \
	    --prefix "$(CURDIR)/build/windows/wineprefix-144" \
	    build/windows/bin/Melvane.exe --snapshot "Z:$(CURDIR)/docs/window-de-150.png" --language de \
	    --document 'C:\Lieder\Der Leuchtturm.odt' --steps 3
	# The focus ring on each control in turn (for looking at, not for the README).
	@mkdir -p build/screenshots
	for tabs in 0 1 2 3 4 5 6 7; do \
	    xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" cmake/wine-run.sh \
	        build/windows/bin/Melvane.exe --language en --document 'C:\Songs\Song.odt' \
	        --steps 2 --tabs $$tabs --snapshot "Z:$(CURDIR)/build/screenshots/focus-$$tabs.png" \
	        || exit 1; \
	done

# The release archives in dist/: the Windows zip, the Linux tarball of melvane-cli and the page
# (a folder for any static host). The Windows zip is unpacked into a folder of its own and its
# programs started from there under Wine.
VERSION := $(shell grep -m1 -o 'Melvane VERSION [0-9.]*' CMakeLists.txt | cut -d' ' -f3)
dist: deps web
	@deps=$$(scripts/build-windows-deps) && \
	    cmake --preset windows -DMELVANE_WINDOWS_DEPS="$$deps" >/dev/null
	cmake --build --preset windows -j $(JOBS) --target Melvane melvane-cli
	@rm -rf dist && mkdir -p dist
	cd build/windows && cpack -G ZIP >/dev/null && cp melvane-$(VERSION)-win64.zip ../../dist/
	cmake --preset linux >/dev/null
	cmake --build --preset linux -j $(JOBS) --target melvane-cli
	cd build/linux && cpack -G TGZ >/dev/null && cp melvane-cli-$(VERSION)-*.tar.gz ../../dist/
	rm -rf build/melvane-web-$(VERSION) && cp -r build/web build/melvane-web-$(VERSION)
	cd build && cmake -E tar cf ../dist/melvane-web-$(VERSION).zip --format=zip \
	    melvane-web-$(VERSION)
	@rm -rf build/dist-check && mkdir -p build/dist-check
	cd build/dist-check && cmake -E tar xf ../../dist/melvane-$(VERSION)-win64.zip
	cmake/wine-run.sh build/dist-check/melvane-$(VERSION)-win64/melvane-cli.exe --version
	xvfb-run -a -s "-nolisten tcp" cmake/wine-run.sh \
	    build/dist-check/melvane-$(VERSION)-win64/Melvane.exe \
	    --snapshot "Z:$(CURDIR)/build/dist-check/started.png"
	@test -s build/dist-check/started.png && echo "dist: the zip's Melvane.exe starts from a folder of its own"
	@ls -l dist

# The page beside melvane-cli on the 900-song songbook; its ready time and script size.
bench-web: web build
	bench/web_songbook.py

# Pictures of the page: desktop in both languages, and a phone (390 x 844 at 3x).
screenshots-web: web
	tests/web/page_test.py --screenshots docs

bench: build
	build/linux/bin/transpose_bench
	build/linux/bin/odt_bench
	bench/text_filter.sh
	bench/text_documents.sh

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf build
