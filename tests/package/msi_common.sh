# Shared by the package's tests under Wine (sourced): running Windows
# programs through $wine_run, and the shared parent keys.

# Every Windows program runs bounded, longer under emulation
# (KESTRUN_TIME_SCALE). msiexec's exit code arrives cut to 8 bits: 1603
# (fatal error) reads as 67.
win() { timeout $((120 * ${KESTRUN_TIME_SCALE:-1})) "$wine_run" "$@" </dev/null 2>&1 | tr -d '\r'; return "${PIPESTATUS[0]}"; }
FATAL=$((1603 % 256))

# Keys many programs share, empty in a fresh prefix: Wine's uninstall deletes
# an empty parent it wrote into (Windows keeps it), and the next test would
# find it gone. A value of ours keeps them while the test runs.
SHARED_PARENTS=('*\ShellEx\ContextMenuHandlers' 'Wow6432Node\CLSID' 'Wow6432Node\Interface')
seed_shared_parents() {
  local parent
  for parent in "${SHARED_PARENTS[@]}"; do
    win reg add "HKLM\\Software\\Classes\\$parent" /v KestrunMsiTest /d seed /f >/dev/null
  done
}
unseed_shared_parents() {
  local parent
  for parent in "${SHARED_PARENTS[@]}"; do
    win reg delete "HKLM\\Software\\Classes\\$parent" /v KestrunMsiTest /f >/dev/null
  done
}
