#!/bin/sh
# A repository filled by a hostile second user, for replaying by hand what the demo does with it:
# links out of the working copy, HTML in names and in a hook's refusal, rock beside rock_big, a
# local name that is not UTF-8, and a sentinel folder outside whose state must never change.
#   hostile_project.sh DIR        builds DIR/repo, DIR/outside, DIR/wc (alice's working copy)
# then: zrdemo --server file://DIR/repo --user alice --workspace DIR/wc --interactive
# and:  find DIR/outside -printf '%M %T@ %s %p\n'   before and after, to compare.
set -eu
dir=$(cd "$1" && pwd)
repo="$dir/repo"
outside="$dir/outside"
svn_as() { user=$1; shift; svn --non-interactive --no-auth-cache --config-dir "$dir/config" --username "$user" -q "$@"; }

svnadmin create "$repo"
# Users of a file:// repository are whoever they say: svnserve's password file is not read here.
# alice's commits are refused with HTML, terminal escapes and a long text; bob's go through.
cat >"$repo/hooks/pre-commit" <<'HOOK'
#!/bin/sh
[ "$(svnlook author -t "$2" "$1")" = alice ] || exit 0
printf '<h1>Refused</h1><img src=/usr/share/pixmaps/debian-logo.png>' >&2
printf '<a href="file:///etc/passwd">read this</a>\n\033[31mred\033[0m\n' >&2
head -c 200000 /dev/zero | tr '\0' 'x' >&2
exit 1
HOOK
chmod +x "$repo/hooks/pre-commit"

mkdir -p "$outside/linked"
echo "outside secret" >"$outside/secret.qor"
echo "outside inner" >"$outside/linked/inner.qor"
echo "outside texture" >"$outside/linked/inner_diffuse.tex"
chmod 444 "$outside/secret.qor" "$outside/linked/inner.qor" "$outside/linked/inner_diffuse.tex"

svn_as bob checkout "file://$repo" "$dir/bob"
mkdir -p "$dir/bob/props"
for name in chair rock rock_big '<img src=&#47;usr&#47;share&#47;pixmaps&#47;debian-logo.png>'; do
    echo asset >"$dir/bob/props/$name.qor"
done
echo texture >"$dir/bob/props/chair_diffuse.tex"
echo texture >"$dir/bob/props/rock_diffuse.tex"
echo texture >"$dir/bob/props/rock_big_diffuse.tex"
ln -s "$outside/secret.qor" "$dir/bob/props/evil.qor"
ln -s "$outside/linked" "$dir/bob/props/linkdir"
svn_as bob add "$dir/bob/props"
svn_as bob propset svn:needs-lock '*' "$dir/bob/props/"*.qor "$dir/bob/props/"*.tex 2>/dev/null || true
svn_as bob commit -m "hostile content" "$dir/bob"

svn_as alice checkout "file://$repo" "$dir/wc"
# A local file Subversion cannot name: not versioned, only lying in alice's working copy.
touch "$(printf '%s/wc/props/bad\377.qor' "$dir")"
echo "hostile project in $dir: server file://$repo, workspace $dir/wc"
