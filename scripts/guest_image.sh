#!/usr/bin/env bash
# Builds the disk image of the emulated 32-bit test guest into build/guest
# (Debian 12 with its own kernel, which runs 32-bit programs, and Wine with
# its 32-bit loader), from Debian's packages through this machine's own apt
# sources. It is built once and again only when its recipe changes: the
# package list (guest/packages.txt), the guest's init (guest/init) or this
# script. Nothing is mounted and no loop device is used: the root folder is
# made with debootstrap and a chroot, then written into a sparse ext4 file
# with mkfs.ext4 -d.
#   build/guest/image.raw    the guest's disk (6 GiB, sparse)
#   build/guest/vmlinuz      its kernel and initial RAM disk, for QEMU's -kernel
#   build/guest/initrd.img
#   build/guest/recipe.sha256  the recipe the image was built from
# Exit code 0 with the image ready; 3 when there is not enough free space.
set -euo pipefail
# debootstrap, chroot and the chroot's mounts need root.
[ "$(id -u)" -ne 0 ] && exec sudo --preserve-env=VANTREL_BUILD_DIR "$0" "$@"
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VANTREL_BUILD_DIR:-$root/build}
out=$build/guest
here=$root/scripts/guest
image_size=6G
needed_free_kib=$((10 * 1024 * 1024))  # the root folder and the image side by side, with room to spare

recipe=$(cat "$here/packages.txt" "$here/init" "$root/scripts/guest_image.sh" | sha256sum | cut -d' ' -f1)
if [ -f "$out/image.raw" ] && [ -f "$out/vmlinuz" ] && [ -f "$out/initrd.img" ] &&
   [ "$(cat "$out/recipe.sha256" 2>/dev/null)" = "$recipe" ]; then
  echo "== guest image: up to date ($out/image.raw)" >&2
  exit 0
fi

mkdir -p "$out"
free_kib=$(df --output=avail -k "$out" | tail -1)
if [ "$free_kib" -lt "$needed_free_kib" ]; then
  echo "== guest image: only $((free_kib / 1024)) MiB free below $out, $((needed_free_kib / 1024)) MiB needed" >&2
  exit 3
fi

start=$(date +%s)
rootfs=$out/root
cleanup() {
  for fs in proc sys dev/pts; do
    mountpoint -q "$rootfs/$fs" 2>/dev/null && umount -l "$rootfs/$fs"
  done
  return 0
}
trap cleanup EXIT
trap 'exit 1' INT TERM
cleanup
rm -rf "$rootfs" "$out/image.raw" "$out/recipe.sha256"

# The suite and mirror this machine's apt uses for its own release.
suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
mirror=$(apt-get indextargets --format '$(RELEASE) $(REPO_URI)' 2>/dev/null |
         awk -v s="$suite" '$1 == s { print $2; exit }')
if [ -z "$mirror" ]; then
  echo "== guest image: no apt source for $suite on this machine" >&2
  exit 1
fi

packages=()
while read -r line; do
  line=${line%%#*}
  for p in $line; do packages+=("$p"); done
done < "$here/packages.txt"

echo "== guest image: debootstrap $suite (minimal base)" >&2
debootstrap --variant=minbase "$suite" "$rootfs" "$mirror" > "$out/debootstrap.log" 2>&1 ||
  { tail -20 "$out/debootstrap.log" >&2; exit 1; }

# The guest asks the same sources as this machine.
cp /etc/apt/sources.list "$rootfs/etc/apt/" 2>/dev/null || true
cp -r /etc/apt/sources.list.d/. "$rootfs/etc/apt/sources.list.d/" 2>/dev/null || true
# No kernel image in the initial RAM disk but the drivers this guest has.
mkdir -p "$rootfs/etc/initramfs-tools/conf.d"
echo "MODULES=list" > "$rootfs/etc/initramfs-tools/conf.d/vantrel-guest"
printf '%s\n' virtio_pci virtio_blk ext4 > "$rootfs/etc/initramfs-tools/modules"
mount -t proc proc "$rootfs/proc"
mount -t sysfs sysfs "$rootfs/sys"
mount -t devpts devpts "$rootfs/dev/pts"
in_root() { chroot "$rootfs" /usr/bin/env DEBIAN_FRONTEND=noninteractive LANG=C.UTF-8 "$@"; }
# Nothing installed into the root folder starts as a service here.
printf '#!/bin/sh\nexit 101\n' > "$rootfs/usr/sbin/policy-rc.d"
chmod 0755 "$rootfs/usr/sbin/policy-rc.d"
echo "== guest image: apt-get install ${packages[*]}" >&2
{
  in_root dpkg --add-architecture i386 &&
  in_root apt-get update -qq &&
  in_root apt-get install -y -qq --no-install-recommends "${packages[@]}"
} > "$out/apt.log" 2>&1 || { tail -30 "$out/apt.log" >&2; exit 1; }
in_root apt-get clean
rm -f "$rootfs/usr/sbin/policy-rc.d"
cleanup

install -m 0755 "$here/init" "$rootfs/sbin/vantrel-init"
echo "vantrel-guest" > "$rootfs/etc/hostname"
printf '127.0.0.1\tlocalhost\n127.0.1.1\tvantrel-guest\n' > "$rootfs/etc/hosts"
kernel=$(ls "$rootfs"/boot/vmlinuz-* | sort -V | tail -1)
cp "$kernel" "$out/vmlinuz"
cp "$rootfs/boot/initrd.img-${kernel##*/vmlinuz-}" "$out/initrd.img"
rm -rf "$rootfs/usr/share/doc" "$rootfs/usr/share/man" "$rootfs/var/lib/apt/lists"/*

echo "== guest image: writing $image_size ext4 image" >&2
truncate -s "$image_size" "$out/image.raw"
mkfs.ext4 -q -F -L vantrel-guest -d "$rootfs" "$out/image.raw"
rm -rf "$rootfs"
echo "$recipe" > "$out/recipe.sha256"
echo "== guest image: built in $(( $(date +%s) - start )) s ($(du -h "$out/image.raw" | cut -f1) used of $image_size)" >&2
