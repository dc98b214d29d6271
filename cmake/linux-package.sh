#!/usr/bin/env bash
# The Linux packages beside the .deb, each from its recipe in packaging/ and
# from the files the build staged in one folder (STAGE): the stripped
# launcher, README.md, copyright, the package's desktop entry, the MIME
# package (zarnolaunch.xml) and the icons (zarnolaunch-<n>.png,
# zarnolaunch.svg).  Each is dated SOURCE_DATE_EPOCH (EPOCH) and holds no
# trace of the folders it was made in: one commit makes the same bytes.
#
#   linux-package.sh tarball STAGE VERSION EPOCH OUT.tar.gz
#   linux-package.sh rpm STAGE SPEC EPOCH OUT.rpm
#   linux-package.sh arch STAGE PKGBUILD MAKEPKG_CONF EPOCH OUT.pkg.tar.zst
#
# The RPM and the Arch package take the tarball from STAGE as their source,
# as they would take it from the release.
set -euo pipefail
# The Arch package's makepkg run, inside its namespaces (see "arch").
if [ "$1" == arch-inside ]; then
  cd /mnt/zarnolaunch
  # The sources' sums go into the PKGBUILD, as updpkgsums would put them.
  makepkg --config makepkg.conf --geninteg >>PKGBUILD 2>log
  SOURCE_DATE_EPOCH=$(cat epoch) LC_ALL=C exec makepkg --config makepkg.conf --nodeps --noconfirm \
    --nocolor >>log 2>&1
fi
format=$1 stage=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

case $format in
tarball)
  version=$3 epoch=$4 out=$5
  # One top folder, owned by root with numeric ids, the names sorted.
  top=$work/zarnolaunch-$version
  install -d -m 0755 "$top"
  install -m 0755 "$stage/zarnolaunch" "$top/"
  install -m 0644 "$stage/README.md" "$stage/copyright" "$top/"
  tar -C "$work" --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner --format=ustar \
    -cf - "zarnolaunch-$version" | gzip -9n >"$out.new"
  mv "$out.new" "$out"
  ;;
rpm)
  recipe=$3 epoch=$4 out=$5
  # --nodeps: rpmbuild would look for the build's dependencies
  # (desktop-file-utils) among RPM's own installed packages, of which
  # Debian has none.  The build host, the build time and every file's time
  # are fixed; the payload is compressed as Fedora's are.
  SOURCE_DATE_EPOCH=$epoch rpmbuild -bb --nodeps --quiet \
    --define "_topdir $work" --define "_sourcedir $stage" --define "_rpmdir $work/out" \
    --define "_build_name_fmt %%{NAME}-%%{VERSION}-%%{RELEASE}.%%{ARCH}.rpm" \
    --define "_buildhost reproducible" \
    --define "use_source_date_epoch_as_buildtime 1" \
    --define "clamp_mtime_to_source_date_epoch 1" \
    --define "_binary_payload w19.zstdio" \
    "$recipe" >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
  mv "$work"/out/zarnolaunch-*.rpm "$out"
  ;;
arch)
  pkgbuild=$3 conf=$4 epoch=$5 out=$6
  mkdir "$work/arch"
  cp "$pkgbuild" "$work/arch/PKGBUILD"
  cp "$conf" "$work/arch/makepkg.conf"
  echo "$epoch" >"$work/arch/epoch"
  cp "$stage"/zarnolaunch-*-linux-x86_64.tar.gz "$stage/zarnolaunch.desktop" "$stage/zarnolaunch.xml" \
    "$stage"/zarnolaunch-*.png "$stage/zarnolaunch.svg" "$work/arch/"
  # makepkg records the folder it runs in (.BUILDINFO), and refuses to run
  # as root.  So it runs in namespaces of its own, where the work folder is
  # at one fixed path, /mnt/zarnolaunch, and the user an ordinary one.
  if ! unshare --user --map-root-user true 2>/dev/null; then
    echo "linux-package.sh: makepkg runs in a user namespace of its own, which unshare cannot make here" >&2
    exit 1
  fi
  unshare --user --map-root-user --mount -- bash -c '
    mount -t tmpfs tmpfs /mnt && mkdir /mnt/zarnolaunch && mount --bind "$1" /mnt/zarnolaunch &&
    exec unshare --user --map-user=1000 --map-group=1000 -- bash "$2" arch-inside' \
    bash "$work/arch" "$0" || { cat "$work/arch/log" >&2 2>/dev/null; exit 1; }
  mv "$work"/arch/zarnolaunch-*.pkg.tar.zst "$out"
  ;;
*)
  echo "linux-package.sh: no format $format" >&2
  exit 2
  ;;
esac
