# SPDX-License-Identifier: MIT
# Entry points. `make demo` and `make test` work on a fresh Debian 12 machine:
# both install what is missing first.
BUILD ?= build
JOBS ?= 2
CMAKE_FLAGS ?=

.PHONY: all deps build demo test windows package package-deb clean

all: build

deps:
	bash scripts/setup.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j$(JOBS)

# The main job: the deployment resolver's answers on the shipped example
# (read only; the file is not changed).
demo: build
	./$(BUILD)/tools/dezov demo examples/deploy.xml

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j$(JOBS)

# DeZov20.dll, the tests and the tool for Windows (mingw-w64), tested under Wine.
WINDOWS_BUILD ?= build-windows
windows:
	CMAKE_FLAGS="$(CMAKE_FLAGS)" JOBS=$(JOBS) bash scripts/windows-build.sh $(WINDOWS_BUILD)

# The packages: Debian packages (libdezov20-1, libdezov20-dev, dezov,
# python3-dezov20) in $(BUILD), and the Windows zip in $(WINDOWS_BUILD) (made
# and tested by the Windows build). scripts/package-check.sh checks what they
# hold.
package: package-deb windows

# Their dates (files, changelog) are the last commit's, SOURCE_DATE_EPOCH,
# unless given: the same commit gives the same packages, byte for byte
# (scripts/repro-check.sh). The build folder is configured again for the
# changelog's date; nothing of the packages' stays in its cache.
package-deb: build
	bash scripts/setup.sh dpkg-dev file lintian
	export SOURCE_DATE_EPOCH=$${SOURCE_DATE_EPOCH:-$$(git log -1 --format=%ct 2>/dev/null || date +%s)}; \
	cmake $(BUILD) >/dev/null && cmake --build $(BUILD) --target package

clean:
	rm -rf $(BUILD)
