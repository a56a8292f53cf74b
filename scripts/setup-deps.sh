#!/usr/bin/env bash
# Prepares a Debian 12 (bookworm) machine to build and test Pixmend:
#   1. installs the Debian packages the build, the tests and the tools need;
#   2. fetches the Debian source packages of libjpeg-turbo, libpng and libtiff;
#   3. cross-builds them, and GoogleTest, as static Release libraries for both
#      Windows targets into ${PIXMEND_CACHE:-/var/cache/pixmend}/deps/<triple>.
#
# Runs as root and is idempotent: a second run on a prepared machine only
# checks package states and build stamps and finishes in seconds.
#
# Environment:
#   PIXMEND_CACHE   cache root (default /var/cache/pixmend); sources and build
#                   trees go under it, never into the repository.
#   PIXMEND_JOBS    parallel build jobs (default: number of cores).
#   PIXMEND_TRIPLES targets to build (default: "i686-w64-mingw32 x86_64-w64-mingw32").
set -euo pipefail

CACHE="${PIXMEND_CACHE:-/var/cache/pixmend}"
JOBS="${PIXMEND_JOBS:-$(nproc)}"
TRIPLES="${PIXMEND_TRIPLES:-i686-w64-mingw32 x86_64-w64-mingw32}"

# Bump when the way the libraries are configured changes, so that existing
# caches are rebuilt even though no source version moved.
RECIPE=3

PACKAGES=(
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
    binutils-mingw-w64 libz-mingw-w64-dev
    wine64 wine xvfb xauth
    nasm cmake ninja-build
    googletest libgtest-dev libbenchmark-dev
    libjpeg-dev libpng-dev libtiff-dev zlib1g-dev
    clang libclang-rt-14-dev llvm
    python3 python3-pil libwine-dev dpkg-dev build-essential pkg-config
    imagemagick librsvg2-bin fonts-noto-cjk openssl curl
    php-cli nodejs node-formidable python3-flask
)

# Debian source packages of the libraries built from source.
SOURCES=(libjpeg-turbo libpng1.6 tiff)

BIN_LIST=/etc/apt/sources.list.d/debian.sources
SRC_LIST=/etc/apt/sources.list.d/pixmend-src.sources

log() { printf '[setup-deps %s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }
die() { log "error: $*"; exit 1; }

[[ $(id -u) -eq 0 ]] || die "must run as root"

# apt-get that waits for another apt/dpkg run to release its locks instead of
# failing; DPkg::Lock::Timeout covers the dpkg frontend lock, and the retry
# loop covers the lists and archive locks, which that option does not wait on.
apt_get() {
    local try
    for try in $(seq 1 120); do
        if DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=1800 "$@"; then
            return 0
        fi
        if ! locks_busy; then
            return 1
        fi
        log "apt/dpkg is busy in another process; waiting (try $try)"
        sleep 10
    done
    return 1
}

# True while some other process holds one of apt's or dpkg's locks.
locks_busy() {
    local lock
    for lock in /var/lib/dpkg/lock-frontend /var/lib/dpkg/lock \
                /var/lib/apt/lists/lock /var/cache/apt/archives/lock; do
        if [[ -e $lock ]] && lslocks -n -o PATH 2>/dev/null | grep -qxF "$lock"; then
            return 0
        fi
    done
    return 1
}

wait_for_locks() {
    local waited=0
    while locks_busy; do
        ((waited == 0)) && log "waiting for a running apt/dpkg to finish"
        sleep 5
        waited=$((waited + 5))
    done
    ((waited == 0)) || log "apt/dpkg finished after ${waited}s of waiting"
}

# --- 1. Debian packages -------------------------------------------------------

missing_packages() {
    local pkg status
    for pkg in "${PACKAGES[@]}"; do
        status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
        [[ $status == installed ]] || printf '%s\n' "$pkg"
    done
}

install_packages() {
    local missing
    missing=$(missing_packages)
    if [[ -z $missing ]]; then
        log "all ${#PACKAGES[@]} Debian packages are installed"
        return
    fi
    # Another install may be bringing in exactly these packages right now:
    # let it finish, then look again.
    wait_for_locks
    missing=$(missing_packages)
    if [[ -z $missing ]]; then
        log "all ${#PACKAGES[@]} Debian packages are installed"
        return
    fi
    log "installing: ${missing//$'\n'/ }"
    apt_get update
    LISTS_UPDATED=1
    # shellcheck disable=SC2086  # one package name per word
    apt_get install -y --no-install-recommends $missing
}

# --- 2. Source packages -------------------------------------------------------

# Adds deb-src entries for the suites and mirrors the machine already uses
# for binary packages, in a file of our own so the system's file is untouched.
# Prints "changed" when the file was (re)written.
ensure_src_list() {
    local want
    if [[ -f $BIN_LIST ]]; then
        want=$(printf '# deb-src twins of %s, for the libraries Pixmend builds from source.\n' "$BIN_LIST"
               sed -E 's/^Types:.*$/Types: deb-src/' "$BIN_LIST")
    else
        want=$(cat <<'EOF2'
# Source packages for the libraries Pixmend builds from source.
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF2
)
    fi
    if [[ -f $SRC_LIST ]] && [[ "$(cat "$SRC_LIST")" == "$want" ]]; then
        return
    fi
    printf '%s\n' "$want" >"$SRC_LIST"
    echo changed
}

have_source_indexes() {
    compgen -G '/var/lib/apt/lists/*_bookworm_main_source_Sources*' >/dev/null
}

# Every version of a source package the deb-src lists offer, newest first.
source_versions() {
    apt-cache showsrc --only-source "$1" 2>/dev/null |
        awk '/^Version:/ { print $2 }' | sort -u |
        sort_debian_versions_desc
}

sort_debian_versions_desc() {
    local versions=() v i j
    while read -r v; do versions+=("$v"); done
    # Insertion sort with dpkg's comparison; the lists hold two or three entries.
    for ((i = 1; i < ${#versions[@]}; i++)); do
        v=${versions[i]}
        for ((j = i - 1; j >= 0; j--)); do
            dpkg --compare-versions "${versions[j]}" lt "$v" || break
            versions[j + 1]=${versions[j]}
        done
        versions[j + 1]=$v
    done
    ((${#versions[@]} == 0)) || printf '%s\n' "${versions[@]}"
}

# Picks the newest version of a source package that can be fetched, fetching
# and unpacking it once into $CACHE/src/<name>_<version>. The mirror does not
# always carry the source of the newest security update; a version whose
# download failed is marked (.failed) and skipped on later runs, so a run on a
# prepared machine does not touch the network; delete the marker to retry.
# Sets RESOLVED_VERSION and RESOLVED_TREE.
resolve_source() {
    local name=$1 version dir
    RESOLVED_VERSION=''
    RESOLVED_TREE=''
    while read -r version; do
        dir="$CACHE/src/${name}_${version#*:}"
        [[ -f $dir/.failed ]] && continue
        if [[ ! -f $dir/.complete ]]; then
            log "fetching source $name $version"
            rm -rf "$dir"
            mkdir -p "$dir"
            # Root downloads straight into the root-owned cache; the _apt
            # sandbox user could not write there.
            if ! (cd "$dir" && apt_get -o APT::Sandbox::User=root -q source "$name=$version" >&2); then
                log "source $name $version could not be fetched; trying an older one"
                find "$dir" -mindepth 1 -delete
                touch "$dir/.failed"
                continue
            fi
            touch "$dir/.complete"
        fi
        RESOLVED_TREE=$(find "$dir" -mindepth 1 -maxdepth 1 -type d | head -n 1)
        [[ -n $RESOLVED_TREE ]] || die "source $name $version unpacked to nothing in $dir"
        RESOLVED_VERSION=$version
        return
    done < <(source_versions "$name")
    die "no fetchable source package $name in the deb-src lists"
}

# --- 3. Cross builds ----------------------------------------------------------

write_toolchain() {
    local triple=$1 prefix=$2 file=$3 cpu
    case $triple in
        i686-*) cpu=i686 ;;
        x86_64-*) cpu=x86_64 ;;
        *) die "unknown triple $triple" ;;
    esac
    cat >"$file" <<EOF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR $cpu)
set(CMAKE_C_COMPILER $triple-gcc-posix)
set(CMAKE_CXX_COMPILER $triple-g++-posix)
set(CMAKE_RC_COMPILER $triple-windres)
set(CMAKE_AR $triple-gcc-ar-posix)
set(CMAKE_RANLIB $triple-gcc-ranlib-posix)
set(CMAKE_FIND_ROOT_PATH "$prefix" /usr/$triple)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
EOF
}

# Configures, builds and installs one CMake project into the prefix.
cmake_build() {
    local label=$1 src=$2 build=$3 prefix=$4 toolchain=$5
    shift 5
    local start=$SECONDS
    rm -rf "$build"
    mkdir -p "$build"
    # -O2 goes in the general flags: libjpeg-turbo rewrites an -O2 that it
    # finds in the Release flags to -O3.
    # The install directories are passed typed (:PATH) because CMake turns an
    # untyped relative path into an absolute one under the working directory
    # when a project declares it as a PATH cache entry, as libjpeg-turbo does.
    # Running from inside the build tree keeps any such slip out of the
    # caller's directory.
    cd "$build"
    cmake -S "$src" -B "$build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_C_FLAGS=-O2 -DCMAKE_CXX_FLAGS=-O2 \
        -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
        -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DCMAKE_INSTALL_LIBDIR:PATH=lib \
        -DCMAKE_INSTALL_INCLUDEDIR:PATH=include \
        -DBUILD_SHARED_LIBS=OFF \
        "$@" >"$build.configure.log" 2>&1 ||
        { tail -n 40 "$build.configure.log" >&2; die "$label: configure failed (see $build.configure.log)"; }
    cmake --build "$build" -j "$JOBS" >"$build.build.log" 2>&1 ||
        { tail -n 40 "$build.build.log" >&2; die "$label: build failed (see $build.build.log)"; }
    cmake --install "$build" >"$build.install.log" 2>&1 ||
        { tail -n 40 "$build.install.log" >&2; die "$label: install failed (see $build.install.log)"; }
    # The logs stay for reading later; the object files are not worth keeping.
    cd "$CACHE"
    rm -rf "$build"
    LIBS_DONE=$((LIBS_DONE + 1))
    log "[$LIBS_DONE/$LIBS_TOTAL] $label built in $((SECONDS - start))s"
}

# Everything that decides what ends up in a prefix; a prefix whose stamp
# differs from this is rebuilt from scratch.
expected_stamp() {
    local triple=$1 arch=${1%%-*}
    arch=${arch/_/-}
    printf 'recipe=%s\n' "$RECIPE"
    printf 'triple=%s\n' "$triple"
    printf 'gcc=%s\n' "$(dpkg-query -W -f='${Version}' "gcc-mingw-w64-$arch-posix")"
    printf 'g++=%s\n' "$(dpkg-query -W -f='${Version}' "g++-mingw-w64-$arch-posix")"
    printf 'mingw-w64=%s\n' "$(dpkg-query -W -f='${Version}' "mingw-w64-$arch-dev")"
    printf 'zlib=%s\n' "$(dpkg-query -W -f='${Version}' libz-mingw-w64-dev)"
    printf 'googletest=%s\n' "$(dpkg-query -W -f='${Version}' googletest)"
    local name
    for name in "${SOURCES[@]}"; do
        printf '%s=%s\n' "$name" "${SOURCE_VERSION[$name]}"
    done
}

prefix_complete() {
    local prefix=$1 f
    for f in lib/libjpeg.a lib/libpng16.a lib/libtiff.a lib/libz.a \
             lib/libgtest.a lib/libgtest_main.a lib/libgmock.a lib/libgmock_main.a \
             include/jpeglib.h include/png.h include/tiffio.h include/zlib.h \
             include/gtest/gtest.h include/gmock/gmock.h; do
        [[ -f $prefix/$f ]] || return 1
    done
}

build_triple() {
    local triple=$1
    local prefix="$CACHE/deps/$triple"
    local builddir="$CACHE/build/$triple"
    local stamp
    stamp=$(expected_stamp "$triple")
    if [[ -f $prefix/.stamp ]] && [[ "$(cat "$prefix/.stamp")" == "$stamp" ]] &&
       prefix_complete "$prefix"; then
        LIBS_DONE=$((LIBS_DONE + LIBS_PER_TRIPLE))
        log "[$LIBS_DONE/$LIBS_TOTAL] $triple: up to date in $prefix"
        return
    fi

    # Build into a staging prefix and swap it in at the end, so that builds
    # using the cache meanwhile keep seeing the complete old prefix.
    local start=$SECONDS final=$prefix
    prefix="$CACHE/deps/.$triple.new"
    log "$triple: building into $final (about a minute per target)"
    rm -rf "$prefix" "$builddir"
    mkdir -p "$prefix/include" "$prefix/lib" "$builddir"
    local toolchain="$builddir/toolchain.cmake"
    write_toolchain "$triple" "$prefix" "$toolchain"

    # zlib comes prebuilt from libz-mingw-w64-dev. Copying its static archive
    # and headers into the prefix keeps the prefix self-contained, and since
    # the prefix holds no libz.dll.a, finders that search it first pick the
    # static zlib instead of the DLL import library beside it in /usr/<triple>.
    cp "/usr/$triple/include/zlib.h" "/usr/$triple/include/zconf.h" "$prefix/include/"
    cp "/usr/$triple/lib/libz.a" "$prefix/lib/"

    local jpeg_src=${SOURCE_TREE[libjpeg-turbo]}
    local png_src=${SOURCE_TREE[libpng1.6]}
    local tiff_src=${SOURCE_TREE[tiff]}

    # SIMD stays on: nasm assembles libjpeg-turbo's x86 and x86-64 kernels
    # into win32/win64 objects.
    cmake_build "$triple libjpeg-turbo" "$jpeg_src" "$builddir/libjpeg-turbo" \
        "$prefix" "$toolchain" \
        -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=ON \
        -DCMAKE_ASM_NASM_COMPILER=nasm \
        -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF -DWITH_12BIT=OFF

    cmake_build "$triple libpng" "$png_src" "$builddir/libpng" \
        "$prefix" "$toolchain" \
        -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
        -DPNG_EXECUTABLES=OFF -DPNG_FRAMEWORK=OFF \
        -DZLIB_INCLUDE_DIR="$prefix/include" \
        -DZLIB_LIBRARY_RELEASE="$prefix/lib/libz.a"

    # JPEG and Deflate compression use the libraries above; every other
    # optional codec is off so nothing else needs to exist for Windows.
    cmake_build "$triple libtiff" "$tiff_src" "$builddir/libtiff" \
        "$prefix" "$toolchain" \
        -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF \
        -Dtiff-deprecated=OFF -Dcxx=OFF \
        -Dzlib=ON -Djpeg=ON -Dold-jpeg=ON -Dpixarlog=ON \
        -Djpeg12=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Djbig=OFF \
        -Dlerc=OFF -Dlibdeflate=OFF \
        -DCMAKE_DISABLE_FIND_PACKAGE_LibLZMA=ON \
        -DCMAKE_DISABLE_FIND_PACKAGE_ZSTD=ON \
        -DCMAKE_DISABLE_FIND_PACKAGE_WebP=ON \
        -DCMAKE_DISABLE_FIND_PACKAGE_JBIG=ON \
        -DCMAKE_DISABLE_FIND_PACKAGE_LERC=ON \
        -DCMAKE_DISABLE_FIND_PACKAGE_Deflate=ON \
        -DCMAKE_DISABLE_FIND_PACKAGE_OpenGL=ON \
        -DCMAKE_DISABLE_FIND_PACKAGE_GLUT=ON \
        -DZLIB_INCLUDE_DIR="$prefix/include" \
        -DZLIB_LIBRARY_RELEASE="$prefix/lib/libz.a" \
        -DJPEG_INCLUDE_DIR="$prefix/include" \
        -DJPEG_LIBRARY_RELEASE="$prefix/lib/libjpeg.a"

    # GoogleTest's Windows port uses Win32 threads, so it needs no pthread
    # library even with the posix-thread compilers.
    cmake_build "$triple googletest" /usr/src/googletest "$builddir/googletest" \
        "$prefix" "$toolchain" \
        -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=ON

    prefix_complete "$prefix" || die "$triple: prefix $prefix is missing files after the build"
    relocate "$prefix" "$final"
    printf '%s\n' "$stamp" >"$prefix/.stamp"
    rm -rf "$final.old"
    if [[ -e $final ]]; then mv "$final" "$final.old"; fi
    mv "$prefix" "$final"
    rm -rf "$final.old"
    log "$triple: done in $((SECONDS - start))s"
}

# Rewrites the staging path to the final one in the installed text files
# (pkg-config files, CMake package files, libpng-config). The archives do not
# record the install path; anything else that does is an error.
relocate() {
    local from=$1 to=$2 file
    while IFS= read -r -d '' file; do
        sed -i "s|$from|$to|g" "$file"
    done < <(grep -rlIZF -- "$from" "$from" || true)
    if grep -rlF -- "$from" "$from" >&2; then
        die "the files above still name the staging prefix $from"
    fi
}

# --- main ---------------------------------------------------------------------

main() {
    local start=$SECONDS
    # The source entries go in first so that an install on a fresh machine
    # fetches both kinds of package lists in one update.
    local changed
    changed=$(ensure_src_list)
    LISTS_UPDATED=0
    install_packages

    if { [[ -n $changed ]] && ((LISTS_UPDATED == 0)); } || ! have_source_indexes; then
        log "updating package lists for the source entries"
        wait_for_locks
        apt_get update -q >&2
    fi

    mkdir -p "$CACHE/deps" "$CACHE/src" "$CACHE/build"
    declare -gA SOURCE_VERSION=() SOURCE_TREE=()
    local name
    for name in "${SOURCES[@]}"; do
        resolve_source "$name"
        SOURCE_VERSION[$name]=$RESOLVED_VERSION
        SOURCE_TREE[$name]=$RESOLVED_TREE
    done

    # Progress over every library of every target, so the person waiting
    # sees how far the cross builds are.
    local triple
    LIBS_PER_TRIPLE=4
    LIBS_DONE=0
    LIBS_TOTAL=0
    for triple in $TRIPLES; do LIBS_TOTAL=$((LIBS_TOTAL + LIBS_PER_TRIPLE)); done
    for triple in $TRIPLES; do
        build_triple "$triple"
    done
    log "ready in $((SECONDS - start))s; prefixes under $CACHE/deps"
}

main "$@"
