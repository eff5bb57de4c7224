# Front door: `make test` and `make demo` install what is missing, build and run.
.PHONY: all deps build test demo fuzz bench clean

all: build

deps:
	@bash scripts/deps.sh

build: deps
	@bash scripts/build.sh build Release

test: deps
	@bash scripts/test.sh

demo: build
	@bash scripts/demo.sh

fuzz: deps
	@bash scripts/fuzz.sh $${FUZZ_SECONDS:-300}

bench: build
	@bash bench/run.sh

clean:
	rm -rf build build-asan build-fuzz
