# Top-level entry points. Every target installs what is missing first.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
CTEST_JOBS ?= 2
# Extra settings for the first configure, e.g. CMAKE_ARGS=-DHELPEDIT_FONTCONFIG=OFF.
CMAKE_ARGS ?=
# Extra arguments for ctest, e.g. CTEST_ARGS='-E build_without_fontconfig'.
CTEST_ARGS ?=

.PHONY: all deps test-deps configure build run test clean install uninstall

all: build

# The packages the program needs to build and run; the tests need a few more.
deps:
	@bash tools/install-deps.sh

test-deps:
	@bash tools/install-deps.sh --test

configure: deps
	@if [ ! -f $(BUILD)/build.ninja ]; then \
	  cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_ARGS); \
	fi

build: configure
	cmake --build $(BUILD)

run: build
	./$(BUILD)/helpedit

test: test-deps build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(CTEST_JOBS) $(CTEST_ARGS)

PREFIX ?= /usr/local
# What the last install wrote, DESTDIR included, one path a line; `make uninstall`
# removes exactly these files. (CMake's own install_manifest.txt leaves DESTDIR out.)
MANIFEST ?= $(BUILD)/installed-files.txt

# Installs under $(PREFIX), staged under $(DESTDIR) when it is given. A live
# install (no DESTDIR) also refreshes the MIME database, so that file managers
# know help files at once; packages leave that to their triggers.
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)
	sed 's|^|$(DESTDIR)|' $(BUILD)/install_manifest.txt > $(MANIFEST)
	@$(MAKE) --no-print-directory refresh-mime

uninstall:
	@if [ -f $(MANIFEST) ]; then \
	  xargs -d '\n' rm -fv < $(MANIFEST) && rm -f $(MANIFEST); \
	else echo "nothing installed from $(BUILD)"; fi
	@$(MAKE) --no-print-directory refresh-mime

.PHONY: refresh-mime
refresh-mime:
	@if [ -z "$(DESTDIR)" ] && [ -d "$(PREFIX)/share/mime/packages" ] && command -v update-mime-database >/dev/null; then \
	  update-mime-database "$(PREFIX)/share/mime"; \
	fi

# Timings against QPlainTextEdit and a bare Qt program; never part of `make test`.
.PHONY: bench
bench: build
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/bench/bench

.PHONY: sanitize fuzz

# The program and every test built with AddressSanitizer and
# UndefinedBehaviorSanitizer in a folder of their own; a finding fails its test.
SANITIZE_BUILD ?= build-sanitize
SANITIZE_FLAGS = -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined

sanitize: test-deps
	@if [ ! -f $(SANITIZE_BUILD)/build.ninja ]; then \
	  cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	    -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)"; \
	fi
	cmake --build $(SANITIZE_BUILD)
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen UBSAN_OPTIONS=print_stacktrace=1 \
	  LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp \
	  ctest --output-on-failure -j $(CTEST_JOBS) $(CTEST_ARGS)

# libFuzzer targets (fuzz/), built with clang; each runs FUZZ_SECONDS and
# reports its executions. A crash or a broken invariant fails the run.
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 60

fuzz:
	@bash tools/install-deps.sh --fuzz
	@if [ ! -f $(FUZZ_BUILD)/build.ninja ]; then \
	  cmake -S fuzz -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++; \
	fi
	cmake --build $(FUZZ_BUILD)
	bash fuzz/run.sh $(FUZZ_SECONDS) $(FUZZ_BUILD)

clean:
	rm -rf $(BUILD)

# Retakes the README's picture of the window (docs/window.png) on a virtual X server.
.PHONY: screenshot
screenshot: test-deps build
	bash tools/screenshot.sh

# Plants each fault of tools/mutants.txt in turn, rebuilds incrementally and runs
# the tests but test_e2e; prints the survivors and the kill rate (docs/mutation.md).
# Takes many minutes; never part of `make test`.
.PHONY: mutate
mutate: build
	python3 tools/mutate.py --build $(BUILD)
