# The project's commands. `make run` and `make test` are the two of the README.
.PHONY: setup build test run bench fuzz soak clean

setup:
	@scripts/setup.sh

build: setup
	@scripts/build.sh

test: build
	@scripts/test.sh

run: build
	@scripts/run.sh

bench: build
	@scripts/bench.sh

# libFuzzer runs of the platform-free code, FUZZ_SECONDS each (default 60).
fuzz: setup
	@scripts/fuzz.sh

# A million bytes and a thousand Stop/Start cycles through the real program.
soak: build
	@scripts/soak.sh

clean:
	rm -rf build
