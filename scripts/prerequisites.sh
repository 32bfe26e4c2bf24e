# Sourced by run-tests.sh and demo.sh: installs the packages the build and
# the tests need, by package name, when they are missing.
vex_install_prerequisites() {
  local need=()
  command -v cmake >/dev/null || need+=(cmake)
  command -v g++ >/dev/null || need+=(g++)
  command -v make >/dev/null || need+=(make)
  [ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
  command -v faketime >/dev/null || need+=(faketime)
  command -v crashmail >/dev/null || need+=(crashmail)
  command -v groff >/dev/null || need+=(groff)
  command -v node >/dev/null || need+=(nodejs)
  command -v npm >/dev/null || need+=(npm)
  if [ ${#need[@]} -gt 0 ]; then
    echo "Installing: ${need[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
  fi
  # The JAM reader and the JSON Schema and Prometheus format checkers of
  # the interoperability and export tests.
  if [ -z "${VEX_SKIP_NPM:-}" ] && [ -f tests/interop/package.json ] && { [ ! -d tests/interop/node_modules/fidonet-jam ] || [ ! -d tests/interop/node_modules/ajv ] || [ ! -d tests/interop/node_modules/parse-prometheus-text-format ]; }; then
    (cd tests/interop && npm install --no-audit --no-fund --silent)
  fi
}

# The fuzz targets need clang and its libFuzzer runtime (scripts/fuzz.sh).
vex_install_fuzz_prerequisites() {
  if ! command -v clang++ >/dev/null ||
     ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
    echo "Installing: clang libclang-rt-dev"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq clang libclang-rt-dev
  fi
}
