# Top-level entry points. Every target that builds installs the missing packages
# first; install and uninstall only copy and remove files.
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

# Installs under $(PREFIX), staged under $(DESTDIR) when it is given, from what
# `make` built: it builds nothing and installs no packages, so `sudo make
# install` never compiles as root. The record of what it wrote lives beside
# the installed files (share/helpedit/installed-files), so `make uninstall`
# works after `make clean` too; it removes exactly those files and the folders
# the install made that are left empty. A live install (no DESTDIR) also
# refreshes the MIME database, so that file managers know help files at once;
# packages leave that to their triggers.
install:
	@DESTDIR="$(DESTDIR)" bash tools/install.sh install "$(BUILD)" "$(PREFIX)"

uninstall:
	@DESTDIR="$(DESTDIR)" bash tools/install.sh uninstall "$(PREFIX)"

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
