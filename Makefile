# Top-level entry points. Every target installs what is missing first.
BUILD ?= build
BUILD_TYPE ?= RelWithDebInfo
CTEST_JOBS ?= 2

.PHONY: all deps configure build run test clean install uninstall

all: build

deps:
	@bash tools/install-deps.sh

configure: deps
	@if [ ! -f $(BUILD)/build.ninja ]; then \
	  cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE); \
	fi

build: configure
	cmake --build $(BUILD)

run: build
	./$(BUILD)/helpedit

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(CTEST_JOBS)

PREFIX ?= /usr/local

# Installs under $(PREFIX) (DESTDIR is honoured); what was written is listed in
# $(BUILD)/install_manifest.txt, which `make uninstall` reads.
install: build
	DESTDIR=$(DESTDIR) cmake --install $(BUILD) --prefix $(PREFIX)

uninstall:
	@if [ -f $(BUILD)/install_manifest.txt ]; then \
	  xargs -d '\n' rm -fv < $(BUILD)/install_manifest.txt; \
	else echo "nothing installed from $(BUILD)"; fi

# Timings against QPlainTextEdit and a bare Qt program; never part of `make test`.
.PHONY: bench
bench: build
	QT_QPA_PLATFORM=offscreen ./$(BUILD)/bench/bench

.PHONY: sanitize fuzz

# The program and every test built with AddressSanitizer and
# UndefinedBehaviorSanitizer in a folder of their own; a finding fails its test.
SANITIZE_BUILD ?= build-sanitize
SANITIZE_FLAGS = -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined

sanitize: deps
	@if [ ! -f $(SANITIZE_BUILD)/build.ninja ]; then \
	  cmake -S . -B $(SANITIZE_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) \
	    -DCMAKE_CXX_FLAGS="$(SANITIZE_FLAGS)" -DCMAKE_EXE_LINKER_FLAGS="$(SANITIZE_FLAGS)"; \
	fi
	cmake --build $(SANITIZE_BUILD)
	cd $(SANITIZE_BUILD) && QT_QPA_PLATFORM=offscreen UBSAN_OPTIONS=print_stacktrace=1 \
	  ctest --output-on-failure -j $(CTEST_JOBS)

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

# Plants each fault of tools/mutants.txt in turn, rebuilds incrementally and runs
# the tests but test_e2e; prints the survivors and the kill rate (docs/mutation.md).
# Takes many minutes; never part of `make test`.
.PHONY: mutate
mutate: build
	python3 tools/mutate.py --build $(BUILD)
