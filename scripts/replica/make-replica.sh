#!/bin/sh
# Makes a read replica of a Subversion repository for a remote office, kept current by svnsync.
#
#   make-replica.sh MASTER_REPOSITORY REPLICA_REPOSITORY MASTER_URL [SERVER_USER]
#
# MASTER_REPOSITORY and REPLICA_REPOSITORY are local paths (run it where both are reachable, or
# copy the steps with the replica's sync URL); MASTER_URL is the URL clients use for the master.
# The replica gets the master's UUID and revisions, records MASTER_URL as the place its revisions
# come from (clients find the master there for locks), and the master gets the post-commit and
# post-revprop-change hooks of this folder, which bring every replica listed in its hooks/replicas
# up to date before a commit returns. SERVER_USER (such as www-data) is given both repositories'
# hooks and the replica, since the hooks run as the web server.
set -eu

master=$(realpath "$1")
replica=$(realpath -m "$2")
master_url=$3
server_user=${4:-}
here=$(dirname "$(realpath "$0")")

[ -f "$replica/format" ] || svnadmin create "$replica"
svnadmin setuuid "$replica" "$(svnlook uuid "$master")"
# Only svnsync writes here (the replica's Apache forwards every client's write to the master), and
# it sets revision properties as it copies.
printf '#!/bin/sh\nexit 0\n' > "$replica/hooks/pre-revprop-change"
chmod 755 "$replica/hooks/pre-revprop-change"

if [ -z "$(svnlook propget --revprop -r0 "$replica" svn:sync-from-uuid 2>/dev/null)" ]; then
    svnsync initialize --non-interactive "file://$replica" "file://$master" >/dev/null
fi
svnsync synchronize --non-interactive "file://$replica" "file://$master" >/dev/null
svn propset --non-interactive --revprop -r0 svn:sync-from-url "$master_url" "file://$replica" >/dev/null

install -m 755 "$here/post-commit" "$master/hooks/post-commit"
install -m 755 "$here/post-revprop-change" "$master/hooks/post-revprop-change"
grep -qxF "$replica" "$master/hooks/replicas" 2>/dev/null || echo "$replica" >> "$master/hooks/replicas"

if [ -n "$server_user" ]; then
    chown -R "$server_user:" "$replica"
    chown "$server_user:" "$master/hooks/replicas"
fi
