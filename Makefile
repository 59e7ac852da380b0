# Top-level commands. Each target installs what is missing first; on a machine without make,
# ./lumo.sh TARGET installs make too and then runs the target.
JOBS ?= $(shell nproc)
BUILD ?= build
CMAKE_FLAGS ?=
FUZZ_SECONDS ?= 60
CTEST_FLAGS ?= --output-on-failure --timeout 600
# Only the targets' own output; no "Entering directory" lines from the nested builds.
MAKEFLAGS += --no-print-directory

.PHONY: all deps configure build test sanitize sanitize-address sanitize-thread demo fuzz bench \
        format clean

all: build

deps:
	@bash scripts/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

test: build
	@cd $(BUILD) && ctest $(CTEST_FLAGS) -j $(JOBS)

sanitize: sanitize-address sanitize-thread

sanitize-address: deps
	@cmake -S . -B build-asan -DLUMO_SANITIZE=address -DLUMO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build build-asan -j $(JOBS)
	@cd build-asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1 \
	  UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
	  ctest $(CTEST_FLAGS) -j $(JOBS)

sanitize-thread: deps
	@cmake -S . -B build-tsan -DLUMO_SANITIZE=thread -DLUMO_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug >/dev/null
	@cmake --build build-tsan -j $(JOBS)
	@cd build-tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
	  ctest $(CTEST_FLAGS) -j $(JOBS)

demo: build
	@bash scripts/demo.sh $(BUILD)

fuzz: deps
	@CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DLUMO_FUZZ=ON -DLUMO_BENCH=OFF >/dev/null
	@cmake --build build-fuzz -j $(JOBS) --target fuzz_all
	@FUZZ_SECONDS=$(FUZZ_SECONDS) bash fuzz/run.sh build-fuzz

bench: deps
	@cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build build-bench -j $(JOBS)
	@bash bench/run.sh build-bench

format:
	@git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	@rm -rf build build-asan build-tsan build-fuzz build-bench
