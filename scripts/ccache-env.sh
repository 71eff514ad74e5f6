# Sourced by the build scripts: one compiler cache per user, shared by every checkout on this machine
# (paths below the checkout are hashed relative to it), so a fresh clone rebuilds from the cache.
export CCACHE_DIR="${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/marvek-ccache}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$PWD}"
export CCACHE_NOHASHDIR=1
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-8G}"
# A file's hash is kept by its inode and time stamps: the precompiled headers (over 200 MB each) are
# hashed once, not again for every file that uses them.
export CCACHE_INODECACHE="${CCACHE_INODECACHE:-true}"
