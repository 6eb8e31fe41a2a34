# Shared by the project's scripts: find the Python versions the package
# supports, install missing Debian packages, and keep the project's virtual
# environments (.venv on Python 3.13, .venv-3.X on the others).
# Source it from the repository root.

QUENRA_ROOT=$(pwd)
QUENRA_VENV="$QUENRA_ROOT/.venv"
# The Python versions the package supports and is tested on; the first is
# the one of .venv, where the C++ tests, sanitizers and fuzzing run.
QUENRA_PYTHONS=(3.13 3.10 3.11 3.12)

log() { printf '\033[1m==> %s\033[0m\n' "$*" >&2; }

# Prints the path of a Python interpreter of version $1 (default 3.13): a
# pyenv version (first) or Debian's python3.X; fails when there is none.
find_python() {
    local version=${1:-3.13} candidate
    local pyenv_versions=("$HOME"/.pyenv/versions/"$version".*/bin/python"$version")
    for candidate in "${pyenv_versions[@]}" "python$version" "/usr/bin/python$version" "/usr/local/bin/python$version"; do
        if command -v "$candidate" >/dev/null 2>&1 &&
            "$candidate" -c "import sys; sys.exit(sys.version_info[:2] != tuple(map(int, '$version'.split('.'))))" \
                2>/dev/null; then
            "$candidate" -c 'import sys; print(sys.executable)'
            return 0
        fi
    done
    echo "error: Python $version was not found (tried pyenv and Debian's python$version)" >&2
    return 1
}

# The virtual environment of Python version $1: .venv for 3.13, else .venv-$1.
venv_of() {
    if [ "$1" = 3.13 ]; then echo "$QUENRA_VENV"; else echo "$QUENRA_ROOT/.venv-$1"; fi
}

# Installs the named Debian packages that are not installed yet.
ensure_apt() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    log "installing Debian packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The Debian packages that building the package needs: utf8proc (linked
# statically) and RapidJSON (header-only).
ensure_build_deps() {
    ensure_apt libutf8proc-dev rapidjson-dev
}

# Creates the virtual environment of Python version $1 (default 3.13) if
# needed; for 3.13 it also puts .venv first on PATH.
ensure_venv() {
    local version=${1:-3.13} venv
    venv=$(venv_of "$version")
    if [ ! -x "$venv/bin/python" ] ||
        ! "$venv/bin/python" -c "import sys; sys.exit(sys.version_info[:2] != tuple(map(int, '$version'.split('.'))))" \
            2>/dev/null; then
        local python
        python=$(find_python "$version")
        log "creating $(basename "$venv") with $python"
        rm -rf "$venv"
        "$python" -m venv "$venv"
    fi
    [ "$version" != 3.13 ] || export PATH="$QUENRA_VENV/bin:$PATH"
}

# ensure_venv, with the development tools of requirements-dev.txt installed.
ensure_dev_tools() {
    local version=${1:-3.13} venv
    ensure_venv "$version"
    venv=$(venv_of "$version")
    local stamp="$venv/.requirements-dev.txt"
    if ! cmp -s requirements-dev.txt "$stamp"; then
        log "installing development tools into $(basename "$venv")"
        "$venv/bin/python" -m pip install -q --upgrade pip
        "$venv/bin/python" -m pip install -q -r requirements-dev.txt
        cp requirements-dev.txt "$stamp"
    fi
}
