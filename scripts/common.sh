# Shared by the project's scripts: find or fetch the Python versions the
# package supports, install missing Debian packages, and keep the project's
# virtual environments (.venv on Python 3.13, .venv-3.X on the others).
# Source it from the repository root.

QUENRA_ROOT=$(pwd)
QUENRA_VENV="$QUENRA_ROOT/.venv"
# The Python versions the package supports and is tested on; the first is
# the one of .venv, where the C++ tests, sanitizers and fuzzing run. 3.13t is
# the free-threaded build of 3.13.
QUENRA_PYTHONS=(3.13 3.10 3.11 3.12 3.13t 3.14 3.15)
# Interpreters that the scripts fetch or build, kept outside the work tree so
# that every clone on this machine shares them and a second run reuses them.
QUENRA_CACHE=${QUENRA_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/quenra}
# Debian's archive, where the interpreters this machine lacks come from.
DEBIAN_MIRROR=http://deb.debian.org/debian

log() { printf '\033[1m==> %s\033[0m\n' "$*" >&2; }

# Python code that exits with status 0 when the interpreter running it is
# version $1: "3.X", or "3.Xt" for the free-threaded build of 3.X.
version_test() {
    local numbers=${1%t} free=False
    [ "$numbers" = "$1" ] || free=True
    echo "import sys, sysconfig; sys.exit(sys.version_info[:2] != (${numbers/./, }) or" \
        "bool(sysconfig.get_config_var('Py_GIL_DISABLED')) != $free)"
}

# True for the versions that come from Debian's testing suite (forky): they
# need its newer C library, so their tests run in a root of that suite.
runs_in_forky() { [ "$1" = 3.14 ] || [ "$1" = 3.15 ]; }

# Prints the path of a Python interpreter of version $1 (default 3.13) that
# runs on this machine: a pyenv version (first) or Debian's python3.X; for
# 3.13t, the free-threaded build made from Debian's source package; for 3.14
# and 3.15, forky's, started with forky's C library (for building only: its
# tests run inside the forky root). Fails when there is none.
find_python() {
    local version=${1:-3.13} candidate
    if [ "$version" = 3.13t ]; then
        ensure_built_python 3.13t && echo "$QUENRA_CACHE/python3.13t/bin/python3.13t"
        return
    fi
    if runs_in_forky "$version"; then
        ensure_forky_root && echo "$QUENRA_FORKY_ROOT$FORKY_HOST_BIN/python$version"
        return
    fi
    local pyenv_versions=("$HOME"/.pyenv/versions/"$version".*/bin/python"$version")
    for candidate in "${pyenv_versions[@]}" "python$version" "/usr/bin/python$version" "/usr/local/bin/python$version"; do
        if command -v "$candidate" >/dev/null 2>&1 && "$candidate" -c "$(version_test "$version")" 2>/dev/null; then
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

# Runs the Python of version $1's virtual environment with the remaining
# arguments: inside the forky root for the versions that run there.
venv_python() {
    local version=$1
    shift
    if runs_in_forky "$version"; then
        # Its tools first on PATH, as where it runs here (scripts/test puts .venv's there).
        in_forky env PATH="$(venv_of "$version")/bin:/usr/local/bin:/usr/bin:/bin" "$(venv_of "$version")/bin/python" "$@"
    else
        "$(venv_of "$version")/bin/python" "$@"
    fi
}

# Prints a Python of version $1 that runs on this machine, with pip, to build
# for that version: its virtual environment's, or for the versions whose
# tests run in the forky root, a virtual environment of the copy of forky's
# interpreter that runs here (find_python), kept with it in the cache.
build_python() {
    local version=$1
    if ! runs_in_forky "$version"; then
        ensure_venv "$version" && echo "$(venv_of "$version")/bin/python"
        return
    fi
    local venv=$QUENRA_CACHE/build-venv-$version python
    if [ ! -x "$venv/bin/python" ] || ! "$venv/bin/python" -c "$(version_test "$version")" 2>/dev/null; then
        python=$(find_python "$version") || return 1
        rm -rf "$venv"
        # Debian's ensurepip takes pip from /usr/share/python-wheels, which
        # here is this machine's (too old for forky's Pythons): pip comes from
        # the root's own wheel instead.
        "$python" -m venv --without-pip "$venv" >&2 || return 1
        local wheel
        wheel=$(echo "$QUENRA_FORKY_ROOT"/usr/share/python-wheels/pip-*.whl)
        "$venv/bin/python" "$wheel/pip" install -q --no-index "$wheel" >&2 || return 1
    fi
    echo "$venv/bin/python"
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
# needed (in the forky root for the versions that run there); for 3.13 it
# also puts .venv first on PATH.
ensure_venv() {
    local version=${1:-3.13} venv
    venv=$(venv_of "$version")
    # (A forky environment's python links to the root's interpreter: it is
    # asked inside the root.)
    if ! venv_python "$version" -c "$(version_test "$version")" 2>/dev/null; then
        rm -rf "$venv"
        if runs_in_forky "$version"; then
            ensure_forky_root
            log "creating $(basename "$venv") with forky's python$version"
            in_forky "/usr/bin/python$version" -m venv "$venv"
        else
            local python
            python=$(find_python "$version")
            log "creating $(basename "$venv") with $python"
            "$python" -m venv "$venv"
        fi
    fi
    [ "$version" != 3.13 ] || export PATH="$QUENRA_VENV/bin:$PATH"
}

# ensure_venv, with the development tools of requirements-dev.txt installed
# (those that version $1 can install: see the file's markers), and Telegram's
# parser of requirements-judge.txt where it has a wheel: not on free-threaded
# builds.
ensure_dev_tools() {
    local version=${1:-3.13} venv
    ensure_venv "$version"
    venv=$(venv_of "$version")
    local files=(requirements-dev.txt) file arguments=()
    [[ $version == *t ]] || files+=(requirements-judge.txt)
    for file in "${files[@]}"; do arguments+=(-r "$file"); done
    local stamp="$venv/.requirements"
    if ! cat "${files[@]}" | cmp -s - "$stamp"; then
        log "installing development tools into $(basename "$venv")"
        venv_python "$version" -m pip install -q --upgrade pip || return 1
        # Wheels only: where a newer interpreter has no wheel of a release
        # (numpy's and pydantic-core's newest for 3.13t), an older release
        # that has one is taken rather than compiled (pydantic-core would
        # need Rust and its crates).
        venv_python "$version" -m pip install -q --only-binary :all: "${arguments[@]}" || return 1
        cat "${files[@]}" >"$stamp"
    fi
}

# --- Interpreters this machine lacks ----------------------------------------

# Debian's testing suite, with python3.14 and python3.15, in a minimal root:
# the interpreters, their headers (which the extension is built against on
# this machine), a C++ compiler (the test of the build's configure step runs
# CMake there) and the C library they all need. Made once with debootstrap
# (about two minutes and 0.8 GB), remade when the package list changes.
QUENRA_FORKY_ROOT=$QUENRA_CACHE/forky
FORKY_PACKAGES=(python3.14 python3.14-venv python3.14-dev python3.15 python3.15-venv python3.15-dev
    build-essential ca-certificates)
# Where the root keeps copies of its interpreters that this machine starts.
FORKY_HOST_BIN=/usr/lib/quenra-host

# Runs a command as root inside the forky root, with the work tree at its own
# path (so that paths mean the same inside and out), this machine's CA
# certificates (pip trusts what this machine trusts) and its name servers.
# The mounts live in a mount namespace of the command's own and end with it.
in_forky() {
    unshare --mount --propagation private -- /bin/bash -c '
        set -e
        root=$1 tree=$2
        shift 2
        mount --rbind /dev "$root/dev"
        mount -t proc proc "$root/proc"
        mkdir -p "$root$tree"
        mount --bind "$tree" "$root$tree"
        if [ -f /etc/ssl/certs/ca-certificates.crt ] && [ -f "$root/etc/ssl/certs/ca-certificates.crt" ]; then
            mount --bind /etc/ssl/certs/ca-certificates.crt "$root/etc/ssl/certs/ca-certificates.crt"
        fi
        cat /etc/resolv.conf >"$root/etc/resolv.conf"
        exec chroot "$root" /usr/bin/env PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/root \
            /bin/sh -c "cd \"\$0\" && exec \"\$@\"" "$tree" "$@"
    ' in_forky "$QUENRA_FORKY_ROOT" "$QUENRA_ROOT" "$@"
}

ensure_forky_root() {
    local root=$QUENRA_FORKY_ROOT
    local stamp=$root/.quenra-packages
    [ "$(cat "$stamp" 2>/dev/null)" = "${FORKY_PACKAGES[*]}" ] && return 0
    ensure_apt debootstrap patchelf
    log "making a minimal Debian forky root in $root (debootstrap, once: a few minutes)"
    rm -rf "$root"
    mkdir -p "$QUENRA_CACHE"
    # This machine's debootstrap may predate forky: testing is made as sid is.
    if ! debootstrap --variant=minbase forky "$root" "$DEBIAN_MIRROR" /usr/share/debootstrap/scripts/sid \
        >"$QUENRA_CACHE/debootstrap.log" 2>&1; then
        tail -n 30 "$QUENRA_CACHE/debootstrap.log" >&2
        return 1
    fi
    # The archive's Release files may be valid until a date that this
    # machine's clock has passed (the archive served here is a snapshot).
    echo 'Acquire::Check-Valid-Until "false";' >"$root/etc/apt/apt.conf.d/99quenra"
    in_forky /bin/sh -c 'apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
        --no-install-recommends "$@" >/dev/null && apt-get clean' sh "${FORKY_PACKAGES[@]}" || return 1
    local version
    for version in 3.14 3.15; do
        # Debian's headers find the real pyconfig.h in the multiarch folder,
        # which only forky's compiler searches: the header itself takes the
        # stub's place, so that this machine's compiler reads them as they are.
        cp "$root/usr/include/x86_64-linux-gnu/python$version/pyconfig.h" \
            "$root/usr/include/python$version/pyconfig.h" || return 1
        # A copy of the interpreter that loads forky's C library and libraries
        # when started from here; from its folder it finds its standard
        # library in the root's /usr.
        mkdir -p "$root$FORKY_HOST_BIN"
        cp "$root/usr/bin/python$version" "$root$FORKY_HOST_BIN/python$version" || return 1
        patchelf --set-interpreter "$root/usr/lib64/ld-linux-x86-64.so.2" --force-rpath \
            --set-rpath "$root/usr/lib/x86_64-linux-gnu" "$root$FORKY_HOST_BIN/python$version" || return 1
        "$root$FORKY_HOST_BIN/python$version" -c "$(version_test "$version")" || return 1
    done
    echo "${FORKY_PACKAGES[*]}" >"$stamp"
}

# Prints the folder of CPython 3.13's source from Debian's python3.13 source
# package (upstream's tarball as Debian ships it, without Debian's patches,
# which adapt it to Debian's own layout), fetched once with a private apt
# configuration that lists the suites serving it.
python313_source() {
    local source=$QUENRA_CACHE/python3.13-source apt=$QUENRA_CACHE/apt
    if [ ! -f "$source/.quenra-complete" ]; then
        log "fetching Debian's python3.13 source package"
        rm -rf "$apt" "$source"
        mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/download"
        printf 'deb-src %s %s main\n' "$DEBIAN_MIRROR" forky "$DEBIAN_MIRROR" trixie >"$apt/sources.list"
        local options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
            -o "Dir::State::Lists=$apt/lists" -o "Dir::Cache=$apt/cache" -o APT::Sandbox::User=root
            -o Acquire::Check-Valid-Until=false)
        apt-get "${options[@]}" update -qq >/dev/null || return 1
        (cd "$apt/download" && apt-get "${options[@]}" source -qq --download-only python3.13 >/dev/null) || return 1
        # (dpkg-source warns that it cannot check the signature without the
        # uploader's key: the archive's signed index vouches for the files.)
        dpkg-source --skip-patches -x "$apt"/download/python3.13_*.dsc "$source" >/dev/null 2>&1 || return 1
        rm -rf "$apt" "$QUENRA_CACHE"/python3.13_*
        touch "$source/.quenra-complete"
    fi
    echo "$source"
}

# Builds CPython $1 once into $QUENRA_CACHE/python$1 from python313_source:
# 3.13t, free-threaded (about six minutes on two cores), or 3.13t-tsan, the
# same for ThreadSanitizer (scripts/stress).
ensure_built_python() {
    local name=$1 prefix=$QUENRA_CACHE/python$1
    [ -f "$prefix/.quenra-built" ] && return 0
    local options=(--disable-gil)
    [ "$name" != 3.13t-tsan ] || options+=(--with-thread-sanitizer)
    ensure_apt build-essential pkg-config dpkg-dev libssl-dev zlib1g-dev libffi-dev libbz2-dev liblzma-dev \
        libsqlite3-dev libreadline-dev uuid-dev libexpat1-dev
    local source build=$QUENRA_CACHE/build-$name
    source=$(python313_source)
    log "building CPython $name from Debian's source package (once: several minutes)"
    rm -rf "$build" "$prefix"
    mkdir -p "$build"
    if ! (cd "$build" && "$source/configure" --prefix="$prefix" "${options[@]}" &&
        make -j "$(nproc)" && make install) >"$QUENRA_CACHE/build-$name.log" 2>&1; then
        tail -n 30 "$QUENRA_CACHE/build-$name.log" >&2
        return 1
    fi
    rm -rf "$build"
    touch "$prefix/.quenra-built"
}
