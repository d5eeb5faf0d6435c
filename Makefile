# Larkspur: make demo | make test | make build | make dist
SHELL := /bin/bash
.PHONY: all build test demo dist setup configure clean bench

all: build

setup:
	@scripts/setup

configure: setup
	@cmake --preset windows >/dev/null
	@cmake --preset host >/dev/null

build: configure
	@cmake --build --preset windows

test: configure
	@cmake --build --preset windows
	@cmake --build --preset host
	@scripts/run-tests

demo: build
	@scripts/demo

dist: configure
	@cmake --build --preset windows --target Larkspur Tolvane
	@scripts/dist out/bin out/dist

bench: configure
	@cmake --build --preset host --target bench
	@out/build/host/bench
	@cmake --build --preset windows --target wine_bench
	@scripts/run-wine-bench

clean:
	rm -rf out
