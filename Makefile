# Front door: every target installs missing Debian packages, configures and builds with CMake.
BUILD ?= build
SANITIZE_BUILD ?= build-sanitize
THREAD_SANITIZE_BUILD ?= build-thread-sanitize
BENCH_BUILD ?= build-bench
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
PACKAGES ?= $(BUILD)
INSTALL_ROOT = $(if $(DESTDIR),$(abspath $(DESTDIR)))

.PHONY: all deps build run install uninstall package test test-sanitize test-thread-sanitize \
        bench bench-window clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DVELMAR_APP=ON -DVELMAR_TESTS=ON -DVELMAR_SANITIZE=OFF
	cmake --build $(BUILD) -j $(JOBS)

# make run ARGS="--draw=layers --guard" passes options to the program.
run: build
	$(BUILD)/app/velmar_stable_fluids $(ARGS)

# The program, its manual page, menu entry and icon under $(DESTDIR)$(PREFIX).
# CMake's manifest lists the files without DESTDIR; $(BUILD)/installed-files.txt lists them where
# they were laid out, for make uninstall.
install: build
	DESTDIR="$(INSTALL_ROOT)" cmake --install $(BUILD) --prefix "$(PREFIX)"
	awk -v root="$(INSTALL_ROOT)" '{ print root $$0 }' $(BUILD)/install_manifest.txt \
	  > $(BUILD)/installed-files.txt

# Removes what the last make install from $(BUILD) laid out.
uninstall:
	scripts/uninstall.sh $(BUILD)/installed-files.txt

# A Debian package of the same files in $(PACKAGES): apt install ./velmar-stable-fluids_*.deb
# CPack installs into a staging folder of its own, which rewrites the install manifest: the
# manifest of the last make install is kept aside meanwhile, so that make uninstall still
# removes what that install laid out.
package: build
	@manifest="$(BUILD)/install_manifest.txt"; \
	if [ -f "$$manifest" ]; then cp -p "$$manifest" "$$manifest.kept"; fi; \
	cpack --config $(BUILD)/CPackConfig.cmake -B "$(abspath $(PACKAGES))"; status=$$?; \
	if [ -f "$$manifest.kept" ]; then mv -f "$$manifest.kept" "$$manifest"; \
	else rm -f "$$manifest"; fi; exit $$status

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-sanitize: deps
	cmake -S . -B $(SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMAR_APP=ON -DVELMAR_TESTS=ON -DVELMAR_SANITIZE=ON
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS)

# The tests that run worker threads again with ThreadSanitizer: runtime, kernels, the step on 1,
# 2 and 4 workers and the front end's logic; the worker threads of a launch share no cell
# unordered. The window tests (labels e2e and x11) are left to the plain and address-sanitizer
# runs: their own threads are the X server's and Mesa's, which this build does not instrument,
# and the program's workers run the same launches as the step tests here, some 50 times slower.
# They still run in this tree by hand, with patience to match: VELMAR_TEST_PATIENCE=10 ctest -L e2e.
# The fuzz tests (label fuzz) run on one thread, and the install tests (label install) run make
# and dpkg; both are left out too, and so are the off-screen drawing tests (label gl), whose
# renderer threads are Mesa's again.
test-thread-sanitize: deps
	cmake -S . -B $(THREAD_SANITIZE_BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMAR_APP=ON -DVELMAR_TESTS=ON -DVELMAR_SANITIZE=OFF -DVELMAR_THREAD_SANITIZE=ON -DVELMAR_WINDOW_TEST_TIMEOUT=900
	cmake --build $(THREAD_SANITIZE_BUILD) -j $(JOBS)
	cd $(THREAD_SANITIZE_BUILD) && TSAN_OPTIONS="halt_on_error=1 die_after_fork=0 suppressions=$(CURDIR)/tests/tsan.supp $(TSAN_OPTIONS)" ctest --output-on-failure -j $(JOBS) -LE 'e2e|x11|gl|fuzz|install'

bench: deps
	cmake -S . -B $(BENCH_BUILD) -DCMAKE_BUILD_TYPE=Release -DVELMAR_BENCH=ON -DVELMAR_TESTS=OFF -DVELMAR_APP=ON -DVELMAR_SANITIZE=OFF
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	$(BENCH_BUILD)/bench/velmar_bench
	$(BENCH_BUILD)/bench/velmar_bench_sessions
	$(BENCH_BUILD)/bench/workers_bench

# Frame rate of the window under Xvfb: both drawings, interleaved, in one run; on another grid
# with make bench-window ARGS="--grid 254".
bench-window: build
	$(BUILD)/bench/window_bench $(ARGS)

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(THREAD_SANITIZE_BUILD) $(BENCH_BUILD)
