# Installs the Debian packages that are missing (one apt-get update at most), when run as root.
#   source scripts/packages.sh; ensure_packages NAME...
ensure_packages() {
    local missing=()
    for package in "$@"; do
        dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "missing packages: ${missing[*]} (install them, or run as root)" >&2
        exit 1
    fi
    echo "== installing ${missing[*]}"
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
}
