# The front door. `make demo` and `make test` set up everything they need on a
# fresh Debian 12 machine (as root) and then build and run.

JOBS ?= $(shell nproc)
DEPS := tools/install-deps.sh

.PHONY: all deps fresh-check native native-asan win64 win32 fuzz-build demo demo-remove test release iso bench fuzz format clean

all: native win64

deps:
	@sh $(DEPS)

native native-asan win64 win32: %: deps
	@[ -f build/$*/CMakeCache.txt ] || cmake --preset $* >/dev/null
	cmake --build build/$* -j$(JOBS)

fuzz-build:
	@[ -f build/fuzz/CMakeCache.txt ] || cmake --preset fuzz >/dev/null
	cmake --build build/fuzz -j$(JOBS)

# Everything: native tests under the sanitizers, Windows tests under wine64,
# and the 32-bit disc target built without warnings, its import check, and its
# Windows tests under 32-bit Wine where the machine runs 32-bit programs.
test: deps
	@sh tools/run-tests.sh

# The 32-bit disc under 32-bit Wine where it runs here, else the 64-bit one.
ifeq ($(strip $(PRODUCT)),)
demo: deps native win32
	@sh tools/demo-disc.sh

# Builds nothing when no sample demo is installed (a product's is removed
# with its PRODUCT=, which it names).
demo-remove: deps
	@sh tools/demo-disc.sh --remove
endif

# A master: the 32-bit disc configured and built clean (an incremental build
# keeps the time stamps of the commit each program was last linked at), its
# image and build/SHA256SUMS; and the host tools (build/native/bin).
# With PRODUCT=path, the product in that folder (tools/product-build.sh):
# build/product-<name>/disc, build/<name>.iso; the tests' builds keep the sample.
ifeq ($(strip $(PRODUCT)),)
release: deps
	@sh tools/make-iso.sh --remove build/vexlo-demo.iso
	cmake --preset win32 --fresh >/dev/null
	cmake --build build/win32 -j$(JOBS) --clean-first --target disc
	@sh tools/make-iso.sh
	@[ -f build/native/CMakeCache.txt ] || cmake --preset native >/dev/null
	cmake --build build/native -j$(JOBS) --target vexlo-archive vexlo-mp3wav

# The image a publisher burns: build/vexlo-demo.iso from build/disc-win32.
iso: deps
	@sh tools/make-iso.sh --remove build/vexlo-demo.iso
	@$(MAKE) --no-print-directory win32
	@sh tools/make-iso.sh
else
release iso demo demo-remove: deps
	@JOBS=$(JOBS) sh tools/product-build.sh $@ '$(subst ','\'',$(PRODUCT))'
endif

# What CI sees: the README's commands in a fresh Debian 12 root, on a clean
# clone of HEAD (what is committed; tools/fresh-root.sh).
fresh-check:
	@bash tools/fresh-root.sh

bench: deps native win64
	@sh tools/bench.sh

fuzz: deps fuzz-build
	@sh tools/fuzz.sh

# The master is reproducible: the commit built twice from clean checkouts in
# two folders, the second without ccache, gives the same disc and image.
.PHONY: verify-master
verify-master: deps
	@sh tools/verify-master.sh

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
