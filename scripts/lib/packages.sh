# Installs the Debian packages that are missing, with apt-get (as root, or through sudo).
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local run_as_root=()
  [ "$(id -u)" -eq 0 ] || run_as_root=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${run_as_root[@]}" apt-get update -qq
  "${run_as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Everything that building and testing needs.
TARVO_PACKAGES=(
  build-essential cmake ninja-build python3
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-svg-dev libgl-dev fonts-liberation xvfb xauth
  libgraphviz-dev graphviz pkg-config libxml2-utils
  clang libclang-rt-14-dev
  libcli11-dev nlohmann-json3-dev help2man dpkg-dev file lintian
  pybind11-dev python3-pybind11 python3-dev python3-setuptools python3-pip python3-venv
  python3-numpy python3-pandas python3-sklearn python3-distributed python3-pytest
)
