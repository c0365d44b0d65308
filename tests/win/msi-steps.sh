# The steps with the installation package that the Wine run
# (tests/win/installer.sh) and the run on a real Windows
# (tests/win/windows-ci.sh, from .github/workflows/windows.yml) share, so
# that the two cannot drift apart. Sourced, with repo set to the source tree.
# KEYENTRY_ON_WINDOWS=1: programs run as they are (Git Bash on Windows);
# else under Wine through scripts/wine-run.

# A path of this shell as Windows names it.
winpath() {
  if [ "${KEYENTRY_ON_WINDOWS:-}" = 1 ]; then
    cygpath -w "$1"
  else
    local p="${1//\//\\}"
    echo "Z:$p"
  fi
}

# msiexec with the arguments, waiting until the installation has ended.
# Under Wine with a UTF-8 locale: the zh_CN locale of wine-run is not
# installed here, and Wine then cannot make files with Chinese names.
msiexec_quiet() {
  if [ "${KEYENTRY_ON_WINDOWS:-}" = 1 ]; then
    MSYS2_ARG_CONV_EXCL='*' msiexec.exe "$@"
  else
    local rc=0
    LC_ALL=C.UTF-8 "${KEYENTRY_WINE:-wine}" msiexec "$@" || rc=$?
    wineserver -w
    return $rc
  fi
}

# The installed program's own test (tests/win/script-driven/
# InstalledProgramTest.cpp): it finds the simulated reader, types the card's
# name on a key and a template of the shared settings, and shows its
# self-check. <bin folder> <program folder, as Windows names it> <version>
# <key of the name> [key of the shared template]
run_installed_program_test() {
  local bin="$1" folder="$2" version="$3" key="$4" shared="${5:-}"
  local runner="$repo/scripts/wine-run"
  [ "${KEYENTRY_ON_WINDOWS:-}" = 1 ] && runner=""
  KEYENTRY_INSTALLED_FOLDER="$folder" KEYENTRY_INSTALLED_VERSION="$version" \
    KEYENTRY_NAME_KEY="$key" KEYENTRY_SHARED_KEY="$shared" \
    $runner "$bin/win_tests.exe" --gtest_filter='InstalledProgram.*'
}
