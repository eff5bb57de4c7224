# Front door: `make test` and `make demo` install what is missing, build and run.
.PHONY: all deps build test dev demo fuzz bench detect-report package format check-format clean

all: build

deps:
	@bash scripts/deps.sh

build: deps
	@bash scripts/build.sh build Release

test: deps
	@bash scripts/test.sh

# The development loop: an optimised build with debug information, without
# link-time optimisation, sanitizers or fuzzing, then every test.
dev: deps
	@bash scripts/build.sh build-dev RelWithDebInfo
	@QT_QPA_PLATFORM=offscreen ctest --test-dir build-dev --output-on-failure -j "$$(nproc)"

format:
	@bash scripts/format.sh

check-format:
	@bash scripts/format.sh --check

demo: build
	@bash scripts/demo.sh

fuzz: deps
	@bash scripts/fuzz.sh $${FUZZ_SECONDS:-300}

bench: build
	@bash bench/run.sh

# How often detection is right on real text, beside nkf and uchardet:
# docs/detection.md. Not part of test.
detect-report: build
	@bash bench/detect-report.sh

# The Debian packages zekt, libzekt1 and libzekt-dev (cmake/package.cmake),
# from a Release build for /usr with Debian's usual hardening flags, in
# build-package/. dpkg-dev (dpkg-buildflags, dpkg-shlibdeps) and file
# (which CPack uses to find the binaries) serve this target alone, so they
# are installed here and not by deps, which CI runs.
PACKAGE_DIR := build-package
PACKAGE_TOOLS := dpkg-dev file

package: deps
	@bash scripts/install-missing.sh $(PACKAGE_TOOLS)
	@export DEB_BUILD_MAINT_OPTIONS=hardening=+all; \
	bash scripts/build.sh $(PACKAGE_DIR) Release -DZEKT_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr \
	  -DCMAKE_C_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CFLAGS)" \
	  -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" \
	  -DCMAKE_SHARED_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)"
	@rm -f $(PACKAGE_DIR)/*.deb
	@cd $(PACKAGE_DIR) && cpack -G DEB
	@for deb in $(PACKAGE_DIR)/*.deb; do echo "Package: $$(realpath $$deb)"; done

clean:
	rm -rf build build-asan build-fuzz build-dev $(PACKAGE_DIR)
