# Sourced: sets up a Wine prefix of its own with the capture-service doubles,
# for any phase that runs the module's capture path under Wine.
#   doubles_prefix PREFIX DOUBLES_DIR   fresh Windows 10 prefix, doubles installed
#   export WINEDLLOVERRIDES="$doubles_overrides"   before running anything in it
# The checks that assert the services are absent keep a prefix without these.

doubles_overrides="d3d11,dwmapi=n;mscoree,mshtml="
doubles_wine_dlls=${TARVIX_WINE_DLLS:-/usr/lib/x86_64-linux-gnu/wine/x86_64-windows}
doubles_classes=(
  Windows.Graphics.Capture.GraphicsCaptureItem
  Windows.Graphics.Capture.GraphicsCaptureSession
  Windows.Graphics.Capture.Direct3D11CaptureFramePool
  Windows.Foundation.Metadata.ApiInformation
)

doubles_prefix() {
  local prefix=$1 doubles=$2 system32
  system32="$prefix/drive_c/windows/system32"
  rm -rf "$prefix"
  WINEPREFIX="$prefix" WINEDLLOVERRIDES="mscoree,mshtml=" wine wineboot -i >/dev/null 2>&1 &&
    WINEPREFIX="$prefix" wine winecfg -v win10 >/dev/null 2>&1 || return 1
  # The module loads CoreMessaging from system32 only; the proxies forward to
  # renamed copies of Wine's own DLLs.
  cp "$doubles/CoreMessaging.dll" "$doubles/d3d11.dll" "$doubles/dwmapi.dll" "$system32/" &&
    cp "$doubles_wine_dlls/d3d11.dll" "$system32/d3d11_wine.dll" &&
    cp "$doubles_wine_dlls/dwmapi.dll" "$system32/dwmapi_wine.dll" || return 1
  # Wine reads only DllPath. ApiInformation's entry replaces Wine's own; a
  # later `wineboot -u` would restore Wine's, so none is run after this.
  local class
  for class in "${doubles_classes[@]}"; do
    WINEPREFIX="$prefix" wine reg add \
      "HKLM\\Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\$class" \
      /v DllPath /t REG_SZ /d 'C:\windows\system32\CoreMessaging.dll' /f >/dev/null 2>&1 || return 1
  done
  WINEPREFIX="$prefix" wineserver -w
}
