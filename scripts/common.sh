# Shared by the project's scripts: find Python 3.13, install missing Debian
# packages, and keep the project's virtual environment in .venv.
# Source it from the repository root.

QUENRA_ROOT=$(pwd)
QUENRA_VENV="$QUENRA_ROOT/.venv"

log() { printf '\033[1m==> %s\033[0m\n' "$*" >&2; }

# Prints the path of a Python 3.13 interpreter: a pyenv version (selected by
# .python-version) or Debian's python3.13.
find_python() {
    local candidate
    for candidate in python3.13 "$HOME/.pyenv/shims/python3.13" /usr/bin/python3.13 /usr/local/bin/python3.13; do
        if command -v "$candidate" >/dev/null 2>&1 &&
            "$candidate" -c 'import sys; sys.exit(sys.version_info[:2] != (3, 13))' 2>/dev/null; then
            "$candidate" -c 'import sys; print(sys.executable)'
            return 0
        fi
    done
    echo "error: Python 3.13 was not found (tried pyenv and Debian's python3.13)" >&2
    return 1
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

# Creates .venv on Python 3.13 if needed, and puts it first on PATH.
ensure_venv() {
    if [ ! -x "$QUENRA_VENV/bin/python" ] ||
        ! "$QUENRA_VENV/bin/python" -c 'import sys; sys.exit(sys.version_info[:2] != (3, 13))' 2>/dev/null; then
        local python
        python=$(find_python)
        log "creating .venv with $python"
        rm -rf "$QUENRA_VENV"
        "$python" -m venv "$QUENRA_VENV"
    fi
    export PATH="$QUENRA_VENV/bin:$PATH"
}

# ensure_venv, with the development tools of requirements-dev.txt installed.
ensure_dev_tools() {
    ensure_venv
    local stamp="$QUENRA_VENV/.requirements-dev.txt"
    if ! cmp -s requirements-dev.txt "$stamp"; then
        log "installing development tools into .venv"
        "$QUENRA_VENV/bin/python" -m pip install -q --upgrade pip
        "$QUENRA_VENV/bin/python" -m pip install -q -r requirements-dev.txt
        cp requirements-dev.txt "$stamp"
    fi
}
