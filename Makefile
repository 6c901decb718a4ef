# The two commands of the README. Both work as root on a fresh Debian 12
# machine: missing packages are installed first.
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
# make test runs each fuzz target this long, from a fixed seed.
FUZZ_SMOKE_SECONDS ?= 30

# Library, command and tests.
PACKAGES = build-essential cmake ninja-build pkg-config libgtest-dev python3 binutils locales
# The sanitizer build and the fuzzers: clang with its sanitizer and libFuzzer runtimes.
PACKAGES += clang libclang-rt-14-dev llvm
# The player: Qt 6, libmpv, OpenGL, a CJK font, and Xvfb for its window tests.
PACKAGES += qt6-base-dev libqt6opengl6-dev qt6-qpa-plugins libmpv-dev libmpv2 libgl-dev \
  xvfb xauth dbus fonts-ipafont-gothic libtag1-dev ffmpeg desktop-file-utils appstream xdg-utils qt6-translations-l10n openbox x11-utils playerctl
# What `make run` plays: the bundled video, else whatever sample there is.
SAMPLE ?= $(firstword $(wildcard samples/sample.mp4) $(wildcard samples/*.mp4 samples/*.mkv samples/*.mp3) $(filter-out %.sh,$(wildcard samples/*)))

.PHONY: all deps build asan-build test fuzz run clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  export DEBIAN_FRONTEND=noninteractive; \
	  apt-get update -q && apt-get install -y -q --no-install-recommends $$missing; \
	fi

$(BUILD)/build.ninja:
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The library, the command and their tests again under AddressSanitizer and
# UndefinedBehaviorSanitizer, built with clang along with the fuzz targets.
$(ASAN_BUILD)/build.ninja:
	CC=clang CXX=clang++ cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DVORTAQ_FUZZ=ON -DVORTAQ_PLAYER=OFF

asan-build: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)
	$(MAKE) --no-print-directory asan-build
	ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)
	FUZZ_SEED=1 FUZZ_FRESH=1 FUZZ_WORK=$(ASAN_BUILD)/fuzz-smoke fuzz/run.sh $(ASAN_BUILD) $(FUZZ_SMOKE_SECONDS)

fuzz: asan-build
	fuzz/run.sh $(ASAN_BUILD) $(FUZZ_SECONDS)

run: build
	@if [ -n "$$DISPLAY$$WAYLAND_DISPLAY" ]; then \
	  $(BUILD)/bin/vortaq $(SAMPLE); \
	else \
	  echo "No display: the analyses of the samples"; \
	  $(BUILD)/bin/probex $(filter-out %.sh,$(wildcard samples/*)); \
	fi

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
