#!/usr/bin/env bash
# Installs what building and testing Talvern needs on Debian, as root. Quick when all
# of it is already there.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64-posix googletest wine wine32:i386 wine64 fonts-wine
          qemu-user xvfb x11-apps xdotool imagemagick)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

# 32-bit Wine under emulation (tools/wine-emulated.sh): the loader's copy and the script beside it.
emulated=/usr/lib/wine-emulated
emulation_ready() {
  cmp -s /usr/lib/wine/wine "$emulated/wine-i386" && cmp -s tools/wine-emulated.sh "$emulated/wine" &&
    [ -e "$emulated/wineserver" ]
}
# Debian 12's own qemu-user (7.2) spends about a minute of CPU starting each 32-bit Wine process;
# the one its backports carry (10) starts them at once.
qemu_ready() { qemu-i386 --version 2>/dev/null | grep -qE 'version ([89]|[1-9][0-9])\.'; }
[ ${#missing[@]} -eq 0 ] && emulation_ready && qemu_ready && exit 0

if [ "$(id -u)" -ne 0 ]; then
  if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: $emulated or qemu-user is not up to date (run this as root): emulation is slow or missing" >&2
    exit 0
  fi
  echo "setup: missing packages (${missing[*]}); run as root to install them" >&2
  exit 1
fi
if [ ${#missing[@]} -gt 0 ]; then
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if ! qemu_ready && grep -q '^VERSION_CODENAME=bookworm' /etc/os-release; then
  # Backports from the mirror the system already uses; apt takes from them only what is asked.
  mirror=$(apt-cache policy | awk '$3 == "bookworm/main" {print $2; exit}')
  echo "deb $mirror bookworm-backports main" >/etc/apt/sources.list.d/talvern-backports.list
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends -t bookworm-backports qemu-user >/dev/null
fi
mkdir -p "$emulated"
install -m 755 /usr/lib/wine/wine "$emulated/wine-i386"
install -m 755 tools/wine-emulated.sh "$emulated/wine"
ln -sfn ../wine/wineserver "$emulated/wineserver"
