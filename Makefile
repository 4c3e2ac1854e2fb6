# Entry points for people and CI. Each target installs what is missing first.
#   make test   build and run every test, normally, under ASan + UBSan and, cross-built, under wine
#   make demo   build and run the main job
#   make bench  run the benchmarks
#   make gallery  draw the pictures of docs/gallery/
#   make fuzz   build the fuzzers with clang and run each for FUZZ_SECONDS
#   make test-windows  cross-build for Windows x86-64 and run the module's tests under wine

BUILD      ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
WINDOWS_BUILD ?= build-windows
WINDOWS_DEPS  ?= build-windows-deps
FUZZ_SECONDS ?= 60
JOBS       ?= $(shell nproc)
WERROR     ?= $(if $(CI),ON,OFF)

CMAKE_COMMON = -G Ninja -DVANTELLE_WERROR=$(WERROR)

.PHONY: all deps build build-asan test test-normal test-asan test-windows demo bench fuzz manual icons gallery clean

all: build

deps:
	@./scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=RelWithDebInfo

$(ASAN_BUILD)/build.ninja: | deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_COMMON) -DCMAKE_BUILD_TYPE=Debug -DVANTELLE_SANITIZE=ON -DVANTELLE_BENCH=OFF

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

build-asan: deps $(ASAN_BUILD)/build.ninja
	cmake --build $(ASAN_BUILD) -j $(JOBS)

test-normal: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan: build-asan
	cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 \
		ctest --output-on-failure -j $(JOBS)

test: test-normal test-asan test-windows

# The Linux build supplies the .glb the Windows one must match byte for byte.
test-windows: build
	JOBS=$(JOBS) WERROR=$(WERROR) ./scripts/test-windows.sh $(BUILD) $(WINDOWS_BUILD) $(WINDOWS_DEPS)

demo: build
	@mkdir -p out
	$(BUILD)/vantelle plot -o out/plot.glb

# The view's benchmark needs a display; without one it gets a virtual one.
bench: build
	$(BUILD)/bench/vantelle_bench
	if [ -n "$${DISPLAY:-}" ]; then $(BUILD)/bench/vantelle_view_bench; \
	else xvfb-run -a -s "-screen 0 1600x1000x24" $(BUILD)/bench/vantelle_view_bench; fi

gallery: build
	./scripts/make-gallery.sh $(BUILD) docs/gallery

fuzz: deps
	@./scripts/install-deps.sh fuzz
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DVANTELLE_FUZZ=ON -DVANTELLE_SANITIZE=ON -DVANTELLE_TESTS=OFF -DVANTELLE_BENCH=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target formula_fuzz prepare_fuzz scene_fuzz text_fuzz compiled_fuzz
	mkdir -p $(FUZZ_BUILD)/corpus/formula $(FUZZ_BUILD)/corpus/prepare $(FUZZ_BUILD)/corpus/scene $(FUZZ_BUILD)/corpus/text \
		$(FUZZ_BUILD)/corpus/compiled
	$(FUZZ_BUILD)/fuzz/formula_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=4096 $(FUZZ_BUILD)/corpus/formula fuzz/seeds/formula
	$(FUZZ_BUILD)/fuzz/prepare_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=4096 $(FUZZ_BUILD)/corpus/prepare fuzz/seeds/formula
	$(FUZZ_BUILD)/fuzz/scene_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=8192 $(FUZZ_BUILD)/corpus/scene fuzz/seeds/scene
	$(FUZZ_BUILD)/fuzz/text_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=1024 $(FUZZ_BUILD)/corpus/text fuzz/seeds/text
	$(FUZZ_BUILD)/fuzz/compiled_fuzz -max_total_time=$(FUZZ_SECONDS) -max_len=4096 $(FUZZ_BUILD)/corpus/compiled fuzz/seeds/formula

manual: deps
	./tools/manual/make_manual.sh docs/manual.md docs/Vantelle.pdf

icons: deps
	/usr/bin/python3 tools/draw_icons.py

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) $(WINDOWS_BUILD) $(WINDOWS_DEPS)
