# The two commands a newcomer types: `make run` and `make test`.
# Each installs missing Debian packages first (scripts/deps.sh).

BUILD     ?= build
ASANBUILD ?= build-asan
APPDIR    ?= $(HOME)/Flickstow
JOBS      ?= $(shell nproc)

.PHONY: deps build run install uninstall package test test-asan bench clean fuzz format format-check tidy

deps:
	@bash scripts/deps.sh

$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The executable (and what it loads beside it) is copied into the program
# folder and started there, so its data files (catalogue, genres, thumbnails)
# stay where the user keeps them. scripts/install.sh never replaces a file it
# did not put there itself.
run: build
	bash scripts/install.sh program "$(BUILD)" "$(APPDIR)"
	cd "$(APPDIR)" && ./flickstow

# The program files into the program folder, plus an entry in the desktop's
# applications menu with its icon; uninstall removes exactly those again.
install: build
	bash scripts/install.sh install "$(BUILD)" "$(APPDIR)"

uninstall:
	bash scripts/install.sh uninstall "$(APPDIR)"

# The Debian package flickstow_<version>_amd64.deb, here in the top folder:
# the program, its launcher and what the desktop needs, built reproducibly
# (scripts/package.sh). Install it with: sudo apt install ./flickstow_*.deb
package: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target flickstow twain_32 flickstow_package_files
	bash scripts/package.sh "$(BUILD)" .

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

$(ASANBUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(ASANBUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFLICKSTOW_SANITIZE=ON

test-asan: deps $(ASANBUILD)/build.ninja
	cmake --build $(ASANBUILD) -j $(JOBS)
	cd $(ASANBUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

# The C++ sources' formatting (.clang-format, clang-format 14): `make format`
# rewrites every file in place, `make format-check` only says which differ.
FORMAT_FILES = find app components platform tests bench tools -name '*.cpp' -o -name '*.h'
format: deps
	$(FORMAT_FILES) | LC_ALL=C sort | xargs clang-format -i --style=file

format-check: deps
	$(FORMAT_FILES) | LC_ALL=C sort | xargs clang-format --dry-run --Werror --style=file

# clang-tidy (.clang-tidy) over every source file of the build; any finding fails.
# It needs the build's compile commands and generated headers, so it builds
# first; it takes a while, and is not part of .ci/run.
tidy: build
	bash scripts/tidy.sh "$(BUILD)" $(JOBS)

bench: build
	$(BUILD)/bench/flickstow-bench

clean:
	rm -rf $(BUILD) $(ASANBUILD)

# Coverage-guided fuzzing of every reader of outside bytes (clang's
# libFuzzer with AddressSanitizer): each target runs FUZZ_SECONDS seconds,
# starting from its seed corpus; new inputs go to $(FUZZBUILD)/corpus.
FUZZBUILD    ?= build-fuzz
FUZZ_SECONDS ?= 60
$(FUZZBUILD)/build.ninja: CMakeLists.txt | deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZBUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFLICKSTOW_FUZZ=ON -DFLICKSTOW_WERROR=OFF

fuzz: deps $(FUZZBUILD)/build.ninja
	cmake --build $(FUZZBUILD) -j $(JOBS)
	bash scripts/fuzz.sh $(FUZZBUILD) $(FUZZ_SECONDS)
