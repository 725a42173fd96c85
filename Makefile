# The two commands a newcomer types: `make run` and `make test`.
# Each installs missing Debian packages first (scripts/deps.sh).

BUILD     ?= build
ASANBUILD ?= build-asan
APPDIR    ?= $(HOME)/Flickstow
JOBS      ?= $(shell nproc)

.PHONY: deps build run test test-asan bench clean

deps:
	@bash scripts/deps.sh

$(BUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

# The executable is copied into the program folder and started there, so its
# data files (catalogue, genres, thumbnails) stay where the user keeps them.
run: build
	mkdir -p "$(APPDIR)"
	cp -f $(BUILD)/app/flickstow "$(APPDIR)/flickstow"
	cd "$(APPDIR)" && ./flickstow

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

$(ASANBUILD)/build.ninja: CMakeLists.txt | deps
	cmake -S . -B $(ASANBUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DFLICKSTOW_SANITIZE=ON

test-asan: deps $(ASANBUILD)/build.ninja
	cmake --build $(ASANBUILD) -j $(JOBS)
	cd $(ASANBUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	$(BUILD)/bench/flickstow-bench

clean:
	rm -rf $(BUILD) $(ASANBUILD)
