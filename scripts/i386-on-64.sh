#!/usr/bin/env bash
# Makes sure this machine can run Wine's 32-bit loader. Some 64-bit kernels
# run no 32-bit code at all (IA-32 emulation is off, as under some
# hypervisors): the loader then fails with "Exec format error". There qemu's
# user-mode i386 emulator runs 32-bit programs instead, registered with the
# kernel's binfmt_misc. Debian 12's qemu (7.2) hangs Wine; Debian 13's does
# not, and it is a static program, so its binary alone is taken from that
# release's package, without installing anything else of it.
set -euo pipefail

/lib/ld-linux.so.2 --version >/dev/null 2>&1 && exit 0

qemu=/usr/local/lib/tandrel/qemu-i386
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

if [ ! -x "$qemu" ]; then
  echo "This kernel runs no 32-bit code: fetching qemu's i386 emulator for Wine"
  source_file=$(mktemp)
  lists=$(mktemp -d)
  mkdir -p "$lists/partial"
  echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian trixie main" \
    >"$source_file"
  work=$(mktemp -d)
  # Only this source, with lists of its own: the machine's package lists and
  # what it installs stay as they are.
  apt_opts=(-o APT::Sandbox::User=root -o Dir::State::Lists="$lists" -o Dir::Etc::SourceParts=/dev/null
            -o Dir::Etc::SourceList="$source_file"
            -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=)
  $SUDO apt-get "${apt_opts[@]}" update -q >/dev/null
  (cd "$work" && $SUDO apt-get "${apt_opts[@]}" download qemu-user >/dev/null 2>&1)
  dpkg-deb -x "$work"/qemu-user_*.deb "$work/x"
  $SUDO install -D -m 755 "$work/x/usr/bin/qemu-i386" "$qemu"
  $SUDO rm -rf "$work" "$lists" "$source_file"
fi

# Wine's server is then the 64-bit one: it runs natively, not emulated.
dpkg -s wine64 >/dev/null 2>&1 ||
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q wine64 >/dev/null

binfmt=/proc/sys/fs/binfmt_misc
[ -e "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt"
[ -e "$binfmt/tandrel-i386" ] && echo -1 | $SUDO tee "$binfmt/tandrel-i386" >/dev/null
# 32-bit x86 ELF executables and shared objects; F: the kernel opens the
# emulator now, so it is found inside any mount namespace later.
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
echo ":tandrel-i386:M::$magic:$mask:$qemu:F" | $SUDO tee "$binfmt/register" >/dev/null

/lib/ld-linux.so.2 --version >/dev/null 2>&1 || { echo "32-bit programs still cannot run here" >&2; exit 1; }
