# Sourced by the run and test commands: configures and builds one preset of
# CMakePresets.json, its progress shown, never silent for long.
# shellcheck source=progress.sh
source "$(dirname "${BASH_SOURCE[0]}")/progress.sh"
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}

# build_preset PRESET: `cmake --preset PRESET` and `cmake --build --preset PRESET`.
build_preset() {
    say "building $1"
    with_heartbeat "build $1" build_preset_quietly "$1"
}
build_preset_quietly() {
    cmake --preset "$1" >/dev/null
    cmake --build --preset "$1" 2>&1 | progress_filter "build $1"
}
