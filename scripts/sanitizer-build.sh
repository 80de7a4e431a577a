# Sourced by the test scripts, with $root set: configures the build under
# AddressSanitizer and UndefinedBehaviorSanitizer (server, its tests and the
# fuzzing harness; no desktop) in $1 when it is not configured yet.
# Unoptimised: it compiles in about two thirds of the time of -O1 (the
# Boost.Beast file alone in half) and runs its tests about a fifth slower.
configure_sanitizer_build() {
  if [ ! -f "$1/build.ninja" ]; then
    cmake -S "$root" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O0" \
      -DCMAKE_C_FLAGS_DEBUG="-g -O0" -DINQUERITO_BUILD_DESKTOP=OFF -DINQUERITO_SANITIZE=ON >/dev/null
  fi
}
