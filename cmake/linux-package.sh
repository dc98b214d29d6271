#!/usr/bin/env bash
# The Linux packages, each from its recipe in packaging/ and from the one
# install the build made in STAGE/root ("cmake --install" with the prefix
# /usr, its launcher stripped); and the source release and the AUR's recipe.
# Each is dated SOURCE_DATE_EPOCH (EPOCH) and holds no trace of the folders
# it was made in, of the time zone or of the umask: one commit makes the
# same bytes.
#
#   linux-package.sh deb STAGE DEBIAN_FILES LINTIAN_OVERRIDES EPOCH OUT.deb
#   linux-package.sh tarball STAGE VERSION EPOCH OUT.tar.gz
#   linux-package.sh rpm STAGE SPEC EPOCH OUT.rpm
#   linux-package.sh arch RECIPE MAKEPKG_CONF EPOCH OUT.pkg.tar.zst [ROOT]
#   linux-package.sh source SOURCE VERSION OUT.tar.gz
#   linux-package.sh aur PKGBUILD.in MAKEPKG_CONF SOURCE_RELEASE OUT_FOLDER
#
# DEBIAN_FILES holds the control file, the copyright file and changelog.deb
# (cmake/Package.cmake).  RECIPE is a folder with a PKGBUILD and whatever
# it takes from beside it; ROOT, when given, goes there as root/.
set -euo pipefail
umask 022
export TZ=UTC LC_ALL=C
# makepkg inside its namespaces (see makepkg_in_namespace): build the
# package, or only print the recipe's .SRCINFO.
if [ "$1" == makepkg-inside ]; then
  cd /mnt/zarnolaunch
  if [ "$2" == srcinfo ]; then exec makepkg --config makepkg.conf --printsrcinfo >.SRCINFO 2>log; fi
  SOURCE_DATE_EPOCH=$(cat epoch) exec makepkg --config makepkg.conf --nodeps --noconfirm --nocolor >>log 2>&1
fi
format=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A tree as every format stores it: folders and the launcher 0755, every
# other file 0644, all dated EPOCH.
normalize() {  # folder, epoch
  find "$1" -type d -exec chmod 0755 {} + -o -type f -exec chmod 0644 {} +
  find "$1" -type f \( -path '*/bin/zarnolaunch' -o -path '*/zarnolaunch-*/zarnolaunch' \) -exec chmod 0755 {} +
  find "$1" -exec touch -h -d "@$2" {} +
}
# makepkg records the folder it runs in (.BUILDINFO), and refuses to run as
# root.  So it runs in namespaces of its own, where the work folder is at
# one fixed path, /mnt/zarnolaunch, and the user an ordinary one.
makepkg_in_namespace() {  # folder, what (package or srcinfo)
  if ! unshare --user --map-root-user true 2>/dev/null; then
    echo "linux-package.sh: makepkg runs in a user namespace of its own, which unshare cannot make here" >&2
    exit 1
  fi
  unshare --user --map-root-user --mount -- bash -c '
    mount -t tmpfs tmpfs /mnt && mkdir /mnt/zarnolaunch && mount --bind "$1" /mnt/zarnolaunch &&
    exec unshare --user --map-user=1000 --map-group=1000 -- bash "$2" makepkg-inside "$3"' \
    bash "$1" "$0" "$2" || { cat "$1/log" >&2 2>/dev/null; exit 1; }
}

case $format in
deb)
  stage=$2 files=$3 overrides=$4 epoch=$5 out=$6
  pkg=$work/deb doc=$work/deb/usr/share/doc/zarnolaunch
  cp -r "$stage/root" "$pkg"
  # Debian's copyright file holds the licences; its documents are
  # compressed as the policy asks (12.3), by gzip -n, which leaves the
  # file's name and time out: the same text makes the same bytes.
  rm -r "$pkg/usr/share/licenses"
  gzip -9n "$doc/README.md" "$doc/players-linux.md"
  gzip -9n <"$files/changelog.deb" >"$doc/changelog.gz"
  cp "$files/copyright" "$doc/copyright"
  mkdir -p "$pkg/usr/share/lintian/overrides" "$pkg/DEBIAN"
  cp "$overrides" "$pkg/usr/share/lintian/overrides/zarnolaunch"
  normalize "$pkg" "$epoch"
  { grep -v '^#' "$files/control"
    echo "Installed-Size: $(du -sk --apparent-size "$pkg/usr" | cut -f1)"; } >"$pkg/DEBIAN/control"
  (cd "$pkg" && find usr -type f | sort | xargs md5sum) >"$pkg/DEBIAN/md5sums"
  normalize "$pkg/DEBIAN" "$epoch"
  SOURCE_DATE_EPOCH=$epoch dpkg-deb --root-owner-group -Zxz --threads-max=1 --build "$pkg" "$out.new" >/dev/null
  mv "$out.new" "$out"
  ;;
tarball)
  stage=$2 version=$3 epoch=$4 out=$5
  # One top folder, owned by root with numeric ids, the names sorted.
  top=$work/zarnolaunch-$version
  mkdir "$top"
  cp "$stage/root/usr/bin/zarnolaunch" "$stage/portable/README.md" \
    "$stage"/root/usr/share/licenses/zarnolaunch/* "$top/"
  normalize "$top" "$epoch"
  tar -C "$work" --sort=name --owner=0 --group=0 --numeric-owner --format=ustar \
    -cf - "zarnolaunch-$version" | gzip -9n >"$out.new"
  mv "$out.new" "$out"
  ;;
rpm)
  stage=$2 recipe=$3 epoch=$4 out=$5
  mkdir "$work/root"
  cp -r "$stage/root/." "$work/root/"
  normalize "$work/root" "$epoch"
  # --nodeps: rpmbuild would look for the build's dependencies
  # (desktop-file-utils) among RPM's own installed packages, of which
  # Debian has none.  The build host, the build time and every file's time
  # are fixed; the payload is compressed as Fedora's are.  The recipe
  # copies the install from zarno_root, whatever its path holds.
  SOURCE_DATE_EPOCH=$epoch rpmbuild -bb --nodeps --quiet \
    --define "_topdir $work" --define "_rpmdir $work/out" --define "zarno_root $work/root" \
    --define "_build_name_fmt %%{NAME}-%%{VERSION}-%%{RELEASE}.%%{ARCH}.rpm" \
    --define "_buildhost reproducible" \
    --define "use_source_date_epoch_as_buildtime 1" \
    --define "clamp_mtime_to_source_date_epoch 1" \
    --define "_binary_payload w19.zstdio" \
    "$recipe" >"$work/log" 2>&1 || { cat "$work/log" >&2; exit 1; }
  mv "$work"/out/zarnolaunch-*.rpm "$out"
  ;;
arch)
  recipe=$2 conf=$3 epoch=$4 out=$5 root=${6:-}
  mkdir "$work/arch"
  cp -r "$recipe/." "$work/arch/"
  cp "$conf" "$work/arch/makepkg.conf"
  if [ -n "$root" ]; then
    cp -r "$root" "$work/arch/root"
    normalize "$work/arch/root" "$epoch"
  fi
  echo "$epoch" >"$work/arch/epoch"
  makepkg_in_namespace "$work/arch" package
  mv "$work"/arch/zarnolaunch-*.pkg.tar.zst "$out"
  ;;
source)
  source=$2 version=$3 out=$4
  git -C "$source" -c tar.umask=022 archive --format=tar --prefix="zarnolaunch-$version/" HEAD |
    gzip -9n >"$out.new"
  mv "$out.new" "$out"
  ;;
aur)
  template=$2 conf=$3 release=$4 out=$5
  mkdir -p "$out" "$work/aur"
  sed "s/@ZARNO_SOURCE_SHA256@/$(sha256sum "$release" | cut -d' ' -f1)/" "$template" >"$work/aur/PKGBUILD"
  cp "$conf" "$work/aur/makepkg.conf"
  makepkg_in_namespace "$work/aur" srcinfo
  cp "$work/aur/PKGBUILD" "$work/aur/.SRCINFO" "$out/"
  ;;
*)
  echo "linux-package.sh: no format $format" >&2
  exit 2
  ;;
esac
