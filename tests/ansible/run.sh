#!/usr/bin/env bash
# The Ansible collection with Debian's ansible-core against simulated sites, each a private
# lab of its own (contrib/ansible/lab-sites.sh), two at once (forks 2): check mode sends
# nothing to any camera; both sites upgraded (changed); again, nothing changed; a site whose
# cameras fail fails that host while the other completes. Then the collection builds and
# passes ansible-lint. Usage: run.sh FLEETSET_SIM FLEETSET_CLI
set -euo pipefail
export FLEETSET_SIM=$1 FLEETSET_CLI=$2
root=$(cd "$(dirname "$0")/../.." && pwd)
sites=$root/contrib/ansible/lab-sites.sh
work=$(mktemp -d)
trap '"$sites" stop "$work"; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

export FLEETSET_TIME_SPEED=20
export ANSIBLE_COLLECTIONS_PATH=$root/contrib/ansible ANSIBLE_HOME=$work/ansible-home ANSIBLE_LOCAL_TEMP=$work/ansible-tmp
export ANSIBLE_FORKS=2 ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0
"$sites" start "$work" --cameras 4 --failing site-c site-a site-b site-c > /dev/null

# play NAME RC ARGS...: the rolling upgrade playbook, every site of a batch at once, which
# must exit with RC ("fail": not 0); its output in NAME.out.
play() {
  local name=$1 want=$2 rc=0; shift 2
  ansible-playbook -i "$work/inventory.yml" fleetset.cameras.rolling_upgrade -e fleetset_serial=2 "$@" \
    > "$work/$name.out" 2>&1 || rc=$?
  [ "$rc" = "$want" ] || { [ "$want" = fail ] && [ "$rc" != 0 ]; } ||
    { cat "$work/$name.out"; fail "$name: exit $rc"; }
}
# recap NAME SITE PATTERN: the site's line of NAME's play recap ("ok=2 changed=1 ... failed=0 ...")
# matches PATTERN.
recap() {
  grep -E "^$2 +:" "$work/$1.out" | grep "$3" > /dev/null || { cat "$work/$1.out"; fail "$1: $2's recap is not '$3'"; }
}
versions() { "$sites" record "$work" "$1" | jq -c '[.cameras[].software_ver] | unique'; }
requests() { "$sites" record "$work" "$1" | jq '[.cameras[].received.requests] | add'; }

before_a=$(requests site-a) before_b=$(requests site-b)
play check 0 --limit site-a,site-b --check
for site in site-a site-b; do recap check $site "changed=1 .*failed=0"; done
[ "$(requests site-a)" = "$before_a" ] && [ "$(requests site-b)" = "$before_b" ] || fail "check mode sent requests to cameras"
[ "$(versions site-a)" = '["2.4.1"]' ] || fail "check mode changed versions"

play upgrade 0 --limit site-a,site-b
for site in site-a site-b; do
  recap upgrade $site "changed=1 .*failed=0"
  grep -q "$site: 4 upgraded, 0 already up to date, 0 failed" "$work/upgrade.out" || fail "upgrade: $site's result not shown"
  [ "$(versions $site)" = '["2.5.0"]' ] || fail "upgrade: $site runs $(versions $site)"
done

play again 0 --limit site-a,site-b
for site in site-a site-b; do recap again $site "changed=0 .*failed=0"; done

# site-c's cameras come back on their old firmware; site-a moves on to 2.6.0 meanwhile.
play failing fail --limit site-a,site-c -e fleetset_firmware="$work/fw-2.6.0.update"
recap failing site-c "failed=1"
recap failing site-a "changed=1 .*failed=0"
[ "$(versions site-a)" = '["2.6.0"]' ] || fail "site-a runs $(versions site-a)"
grep -q "4 of the site's cameras failed" "$work/failing.out" || { cat "$work/failing.out"; fail "site-c's failure not explained"; }

# What was done to one camera, from its site's history: two jobs.
"$FLEETSET_CLI" history --history "$work/site-a/history.sqlite" --mac 00:1a:2b:00:00:02 --format json > "$work/history.json"
jq -e '[.[].version_after] == ["2.5.0", "2.6.0"]' "$work/history.json" > /dev/null || { cat "$work/history.json"; fail "history"; }

# The collection builds, its modules' documentation parses, and it passes the sanity tests
# that need no download (on a copy: ansible-test writes into the collection) and the linter.
collection=$root/contrib/ansible/ansible_collections/fleetset/cameras
ansible-galaxy collection build "$collection" --output-path "$work/dist" > "$work/build.out" 2>&1 \
  || { cat "$work/build.out"; fail "ansible-galaxy collection build"; }
ansible-doc -t module fleetset.cameras.fleetset_job fleetset.cameras.fleetset_facts > "$work/doc.out" 2>&1 \
  || { cat "$work/doc.out"; fail "ansible-doc"; }
mkdir -p "$work/copy/ansible_collections/fleetset"
cp -r "$collection" "$work/copy/ansible_collections/fleetset/cameras"
# The others (validate-modules, pylint, pep8, yamllint, import) install their tools with pip.
offline_sanity=(compile shebang action-plugin-docs empty-init future-import-boilerplate metaclass-boilerplate line-endings
  no-assert no-basestring no-dict-iteritems no-get-exception no-illegal-filenames no-main-display no-smart-quotes
  no-unicode-literals replace-urlopen symlinks use-argspec-type-path use-compat-six)
(cd "$work/copy/ansible_collections/fleetset/cameras" &&
  ansible-test sanity --python "$(python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')" \
    "${offline_sanity[@]/#/--test=}") > "$work/sanity.out" 2>&1 || { cat "$work/sanity.out"; fail "ansible-test sanity"; }
if command -v ansible-lint > /dev/null; then
  (cd "$root/contrib/ansible/ansible_collections/fleetset/cameras" && ansible-lint --offline -p) > "$work/lint.out" 2>&1 \
    || { cat "$work/lint.out"; fail "ansible-lint"; }
else
  echo "ansible-lint not installed: lint skipped"
fi
echo "ansible collection: 4 playbook runs over 3 simulated sites as expected"
