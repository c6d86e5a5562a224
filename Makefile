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

clean:
	rm -rf $(BUILD)
