# Sourced by the scripts that start servers. Every server the project starts keeps its files in a
# temporary folder, and names that folder on its command line; giving this run a temporary folder of
# its own (TMPDIR) lets the checks count only the servers this run started: a machine's own Apache
# or someone's svnserve is neither counted nor touched.
zr_run_tmp=$(mktemp -d "${TMPDIR:-/tmp}/zr-run.XXXXXX")
# Apache, started as root, serves as www-data, which must be able to enter the folder.
chmod 711 "$zr_run_tmp"
export TMPDIR=$zr_run_tmp
trap 'rm -rf "$zr_run_tmp"' EXIT

# Fails (naming them) when a server started under this run's folder still runs.
zr_no_server_left() {
    local who=$1 left
    left=$(pgrep -f -- "^(svnserve|apache2) .*$zr_run_tmp" | tr '\n' ' ' || true)
    if [[ -n $left ]]; then
        echo "$who: servers of this run still running after it (pids $left)" >&2
        return 1
    fi
}
