#!/usr/bin/env bash
# Selvorra on a fresh Debian 12 root, as a new user's machine has it: a
# minimal bookworm system made by debootstrap from Debian's archive in a
# temporary folder, removed again at the end. Needs root and the network to
# deb.debian.org; takes a few minutes. Not part of ./build.sh test.
#
#   tools/fresh_root.sh package [selvorra_<version>_<arch>.deb]
#       `apt install ./selvorra_*.deb` (without recommended packages: what
#       the package depends on must be enough), the program started by an
#       ordinary user must map its window, and `apt purge selvorra` (with the
#       dependencies it pulled in) must leave /usr as it was. Default: the
#       .deb that ./build.sh package left in the checkout.
#   tools/fresh_root.sh test
#       ./build.sh test in a clean clone of this checkout's HEAD: every
#       package the suite needs must be on build.sh's lists.
#   tools/fresh_root.sh run
#       times `./build.sh run` in a clean clone of this checkout's HEAD, from
#       the command to the program's mapped window, with the Debian packages
#       downloaded beforehand, and reports what it installed.
#
# For the check only, the root gets a virtual X server and two X tools (xvfb,
# x11-utils, xdotool) before anything is measured. The program runs without
# a network (its own network namespace), so it starts as it would offline and
# sends nothing out. FRESH_ROOT_CACHE=file.tar keeps the debootstrap result
# for later runs (made when absent).
set -euo pipefail

ROOT_DIR=$(cd "$(dirname "$0")/.." && pwd)
MIRROR=http://deb.debian.org/debian

usage() {
  echo "usage: $0 package [file.deb] | test | run" >&2
  exit 2
}
[ $# -ge 1 ] || usage
mode=$1
[ "$(id -u)" -eq 0 ] || { echo "$0: run as root (debootstrap, chroot)" >&2; exit 1; }
for tool in debootstrap unshare; do
  command -v "$tool" >/dev/null || { echo "$0: needs $tool (apt-get install debootstrap)" >&2; exit 1; }
done

WORK=$(mktemp -d /tmp/selvorra-fresh-root.XXXXXX)
R="$WORK/root"
cleanup() {
  for m in "$R/dev/pts" "$R/dev/shm" "$R/proc"; do
    mountpoint -q "$m" && umount "$m"
  done
  # Never follows a mount still in place into the host.
  rm -rf --one-file-system "$WORK"
}
trap cleanup EXIT

# in_root COMMAND: runs a bash command in the root, as root, with a clean
# environment; in_root_offline the same without a network.
in_root() {
  chroot "$R" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive /bin/bash -c "set -euo pipefail; $1"
}
in_root_offline() {
  unshare --net chroot "$R" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive /bin/bash -c "set -euo pipefail; $1"
}

echo "== Debian 12 root in $R"
if [ -n "${FRESH_ROOT_CACHE:-}" ] && [ -f "$FRESH_ROOT_CACHE" ]; then
  mkdir -p "$R" && tar -C "$R" -xf "$FRESH_ROOT_CACHE"
else
  debootstrap --variant=minbase bookworm "$R" "$MIRROR" >"$WORK/debootstrap.log" 2>&1 ||
    { tail -20 "$WORK/debootstrap.log" >&2; exit 1; }
  [ -z "${FRESH_ROOT_CACHE:-}" ] || tar -C "$R" -cf "$FRESH_ROOT_CACHE" .
fi
# The sources of an installed Debian 12, the host's name servers, and no
# services started by package scripts inside the root.
cat >"$R/etc/apt/sources.list" <<EOF
deb $MIRROR bookworm main
deb $MIRROR bookworm-updates main
deb http://deb.debian.org/debian-security bookworm-security main
EOF
cp /etc/resolv.conf "$R/etc/resolv.conf"
printf '#!/bin/sh\nexit 101\n' >"$R/usr/sbin/policy-rc.d"
chmod 755 "$R/usr/sbin/policy-rc.d"
mount -t proc proc "$R/proc"
mount -t tmpfs -o mode=1777 shm "$R/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$R/dev/pts"

in_root "apt-get update -q >/dev/null"
# The X tools only where a window is looked for: the test suite runs without
# them, so they cannot make up for a package build.sh forgot.
if [ "$mode" != test ]; then
  in_root "apt-get install -y -q --no-install-recommends xvfb x11-utils xdotool >/dev/null 2>&1
           apt-get clean
           echo \"check tools: \$(dpkg-query -W -f='\${Package}\n' | wc -l) packages in the root\""
fi

# The packages installed in the root, one a line, sorted.
cat >"$R/tmp/installed" <<'EOF'
dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' | awk '$1 == "ii" {print $2}' | sort
EOF
INSTALLED="bash /tmp/installed"

# The X server and the wait for a window of the process PID to be mapped,
# in the shell that runs in the root.
START_X='Xvfb :99 -screen 0 1280x1024x24 -nolisten tcp -ac >/tmp/xvfb.log 2>&1 &
xvfb=$!
for i in $(seq 50); do [ -e /tmp/.X11-unix/X99 ] && break; sleep 0.1; done
export DISPLAY=:99'
WAIT_WINDOW='wait_window() {
  local wid
  wid=$(timeout "$2" xdotool search --sync --onlyvisible --pid "$1" 2>/dev/null | head -1) || return 1
  xwininfo -id "$wid" | grep -E "Window id|Absolute|Width|Height|Map State"
}'

case "$mode" in
  package)
    deb=${2:-$(ls "$ROOT_DIR"/selvorra_*.deb 2>/dev/null | head -1)}
    [ -f "$deb" ] || { echo "$0: no .deb (./build.sh package makes one)" >&2; exit 1; }
    cp "$deb" "$R/tmp/"
    name=$(basename "$deb")
    in_root "useradd -m -s /bin/bash tester
             find /usr | sort >/tmp/usr-before
             $INSTALLED >/tmp/packages-before"

    echo "== apt install ./$name"
    in_root "cd /tmp && before=\$(dpkg-query -W -f='\${Package}\n' | wc -l)
             apt install -y -q --no-install-recommends ./$name 2>&1 | grep -E '^(Setting up selvorra|E:)' || true
             dpkg-query -W -f='\${Status}' selvorra | grep -q 'install ok installed'
             $INSTALLED >/tmp/packages-with
             echo \"installed selvorra and \$(comm -13 /tmp/packages-before /tmp/packages-with | grep -vcx selvorra) packages it depends on\"
             echo \"selvorra on the PATH: \$(command -v selvorra) -> \$(readlink -f \$(command -v selvorra))\"
             dpkg -L selvorra | while read -r f; do [ -d \"\$f\" ] || echo \"  \$f\"; done"

    echo "== The program, started by an ordinary user (no network)"
    in_root_offline "$START_X
      $WAIT_WINDOW
      setpriv --reuid=tester --regid=tester --init-groups /usr/bin/env -i HOME=/home/tester USER=tester \
        PATH=/usr/bin:/bin LANG=C.UTF-8 DISPLAY=:99 selvorra >/tmp/selvorra.log 2>&1 &
      program=\$!
      rc=0
      if wait_window \$program 60; then
        echo \"window mapped; program running as user \$(stat -c %U /proc/\$program)\"
      else
        echo 'FAIL: no window within 60 s'; cat /tmp/selvorra.log; rc=1
      fi
      kill \$program 2>/dev/null || true; wait \$program 2>/dev/null || true
      kill \$xvfb; wait \$xvfb 2>/dev/null || true
      echo \"files the program left in the user's home: \$(cd /home/tester && find . -type f ! -name '.bash*' ! -name .profile | sort | tr '\n' ' ')\"
      exit \$rc"

    echo "== apt purge selvorra, then the packages only it needed"
    in_root "apt purge -y -q selvorra 2>&1 | grep -E '^(Removing|Purging|E:)' || true
             apt-get autoremove --purge -y -q >/dev/null
             find /usr | sort >/tmp/usr-after
             left=\$(diff /tmp/usr-before /tmp/usr-after || true)
             if find /usr /etc /var/lib/dpkg/info | grep selvorra; then
               echo 'FAIL: files of selvorra left behind'; exit 1
             fi
             # What came with selvorra and apt keeps, because a package that was
             # there before recommends it (apt recommends ca-certificates), is
             # purged too before /usr is compared.
             kept=\$(comm -12 <(comm -13 /tmp/packages-before /tmp/packages-with) <($INSTALLED) | tr '\n' ' ')
             if [ -n \"\$kept\" ]; then
               echo \"kept by apt as recommended by packages that were there before: \$kept(purged for the comparison)\"
               apt-get purge -y -q \$kept >/dev/null 2>&1
             fi
             find /usr | sort >/tmp/usr-after
             left=\$(diff /tmp/usr-before /tmp/usr-after || true)
             if [ -n \"\$left\" ]; then
               echo 'FAIL: /usr differs from before the install:'; echo \"\$left\" | head -40; exit 1
             fi
             echo \"/usr as before the install (\$(wc -l </tmp/usr-after) entries)\""
    echo "PASS: $name installs, starts and purges cleanly on a fresh Debian 12 root"
    ;;

  test)
    git clone -q "$ROOT_DIR" "$R/root/selvorra"
    echo "== ./build.sh test in a clean clone of $(git -C "$R/root/selvorra" log -1 --format='%h %s')"
    in_root "cd /root/selvorra && ./build.sh test" >"$WORK/test.log" 2>&1 || {
      tail -60 "$WORK/test.log"; echo "FAIL: ./build.sh test"; exit 1; }
    grep -E 'tests passed|tests failed|^fuzz_|Errors while' "$WORK/test.log"
    echo "PASS: ./build.sh test on a fresh Debian 12 root"
    ;;
  run)
    # The packages ./build.sh run installs, as its own list says.
    packages=$(sed -n '/^RUN_PACKAGES=(/,/^)/p' "$ROOT_DIR/build.sh" | sed '1d;$d' | tr '\n' ' ')
    git clone -q "$ROOT_DIR" "$R/root/selvorra"
    echo "== clean clone of $(git -C "$R/root/selvorra" log -1 --format='%h %s')"
    in_root "apt-get install -y -q --download-only --no-install-recommends $packages >/dev/null
             echo \"downloaded beforehand: \$(ls /var/cache/apt/archives/*.deb | wc -l) packages, \$(du -sm /var/cache/apt/archives | cut -f1) MiB\""
    size_probe="dpkg-query -W -f='\${Installed-Size}\n' | awk '{s+=\$1} END {print s}'"
    du_probe="du -skx --exclude=/var/cache/apt --exclude=/var/lib/apt/lists --exclude=/proc --exclude=/root/selvorra / | cut -f1"
    in_root_offline "$START_X
      $WAIT_WINDOW
      sizes_before=\"\$($size_probe) \$($du_probe)\"
      $INSTALLED >/tmp/packages-before
      cd /root/selvorra
      start=\$(date +%s.%N)
      ./build.sh run >/tmp/run.log 2>&1 &
      run=\$!
      # The first configure begins once the packages are in.
      ( while [ ! -d build ]; do sleep 0.1; done; date +%s.%N >/tmp/configure-start ) &
      watcher=\$!
      rc=0
      if wait_window \$run 900 >/tmp/window; then
        end=\$(date +%s.%N)
        configure=\$(cat /tmp/configure-start)
        set -- \$sizes_before
        kib=\$(( \$($size_probe) - \$1 )); du_kib=\$(( \$($du_probe) - \$2 ))
        comm -13 /tmp/packages-before <($INSTALLED) >/tmp/packages-new
        npkg=\$(wc -l </tmp/packages-new)
        echo \"== ./build.sh run, without package downloads:\"
        awk -v s=\$start -v c=\$configure -v e=\$end 'BEGIN {
          printf \"  installing the packages       %6.1f s\n\", c - s
          printf \"  configure, build, start      %6.1f s\n\", e - c
          printf \"  command to mapped window     %6.1f s\n\", e - s }'
        echo \"  installed: \$npkg packages, Installed-Size \$((kib / 1024)) MiB (du of the root: +\$((du_kib / 1024)) MiB)\"
        echo \"  largest (Installed-Size, MiB):\" \$(dpkg-query -W -f='\${Installed-Size} \${Package}\n' \$(cat /tmp/packages-new) |
          sort -rn | head -8 | awk '{printf \"%s %.0f,\", \$2, \$1 / 1024}')
        echo \"  build folder: \$(du -sm build | cut -f1) MiB; \$(grep -c 'Building CXX' /tmp/run.log) files compiled\"
        grep -E 'Window id|Map State' /tmp/window | sed 's/^ */  /'
      else
        echo 'FAIL: no window'; tail -30 /tmp/run.log; rc=1
      fi
      kill \$watcher 2>/dev/null || true
      kill \$run 2>/dev/null || true; wait \$run 2>/dev/null || true
      kill \$xvfb; wait \$xvfb 2>/dev/null || true
      exit \$rc"
    ;;
  *) usage ;;
esac
