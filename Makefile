# The README's commands. Each target installs what is missing first.
JOBS ?= $(shell nproc)
BUILD ?= build

.PHONY: all deps configure build test demo dist bench clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@bash scripts/configure.sh $(BUILD)

build: configure
	cmake --build $(BUILD)/native -j $(JOBS)
	cmake --build $(BUILD)/native-tsan -j $(JOBS) --target unit_tests
	cmake --build $(BUILD)/win32 -j $(JOBS)
	cmake --build $(BUILD)/win64 -j $(JOBS)
	cmake --build $(BUILD)/fuzz -j $(JOBS)

test: build
	@bash scripts/run-tests.sh $(BUILD)

bench: build
	@bash scripts/bench.sh $(BUILD)

dist: build
	@bash scripts/dist.sh $(BUILD)

clean:
	-@bash -c 'source scripts/wine-env.sh && "$$WINESERVER" -k' 2>/dev/null || true
	rm -rf $(BUILD)
