# The two everyday commands: `make run` and `make test`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?= -DCMAKE_BUILD_TYPE=RelWithDebInfo
# `make install` puts the program under PREFIX, inside DESTDIR when that is set.
PREFIX ?= /usr/local
DESTDIR ?=

.PHONY: all deps build test run install uninstall package screenshot asan tsan windows-deps \
	test-windows format translations clean

all: build

deps:
	@tools/install-deps.sh

$(BUILD)/CMakeCache.txt:
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS)

build: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Builds only what it starts, the program and the demo device, not the tests and
# benchmarks that `make build` adds.
run: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) -j $(JOBS) --target byteway byteway-device
	@tools/run-demo.sh $(BUILD)

# CMake's manifest leaves DESTDIR out; installed-files.txt has the paths as written.
install: build
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix "$(PREFIX)"
	sed 's|^|$(DESTDIR)|' $(BUILD)/install_manifest.txt > $(BUILD)/installed-files.txt

# Removes what the last `make install` put in place.
uninstall:
	@if [ ! -f $(BUILD)/installed-files.txt ]; then \
		echo "uninstall: nothing installed from $(BUILD)"; exit 1; fi
	xargs -d '\n' rm -f < $(BUILD)/installed-files.txt
	rm -f $(BUILD)/installed-files.txt

# The Debian package, $(BUILD)/byteway_<version>_<architecture>.deb.
package: build
	@tools/install-deps.sh --package
	cd $(BUILD) && cpack -G DEB

# The main window rendered offscreen, $(BUILD)/packaging/screenshots/main-window.png.
screenshot: build
	cmake --build $(BUILD) --target screenshot

asan: deps
	cmake --preset asan
	cmake --build build-asan -j $(JOBS)
	cd build-asan && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

tsan: deps
	cmake --preset tsan
	cmake --build build-tsan -j $(JOBS)
	cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -L threaded -j $(JOBS)

windows-deps:
	@tools/install-deps.sh --windows

test-windows: windows-deps
	@tools/test-windows.sh

# Brings new and changed interface texts into translations/byteway_en.ts (new ones
# are marked unfinished until their English is filled in) and drops removed ones.
translations: deps $(BUILD)/CMakeCache.txt
	cmake --build $(BUILD) --target update_translations

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build build-asan build-tsan build-win
