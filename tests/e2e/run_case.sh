#!/usr/bin/env bash
# One case of the end-to-end suite: a fresh copy of the test prefix, the sample application
# installed into it, the real uninst.exe run on the platform the case names, and the prefix
# checked afterwards.
#
# Usage: run_case.sh <case> <build dir> <work dir>
# Set E2E_KEEP=1 to keep the case's prefix for inspection.
set -uo pipefail
case_name=$1
build=$2
work=$3
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
sample=$here/sample
bin=$build/bin
base=${UNINST_WINEPREFIX:-$top/build/wineprefix}
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver64
export WINEARCH=win64 WINEDEBUG=-all
unset DISPLAY

prefix=$work/prefix
drive_c=$prefix/drive_c
failures=0
background=()

say() { echo "[$case_name] $*"; }
fail() { say "FAILED: $*"; failures=$((failures + 1)); }

finish() {
  for pid in "${background[@]}"; do kill "$pid" 2>/dev/null; done
  WINEPREFIX=$prefix "$server" -k >/dev/null 2>&1
  WINEPREFIX=$prefix "$server" -w >/dev/null 2>&1
  [ "${E2E_KEEP:-0}" = 1 ] || rm -rf "$work"
}
trap finish EXIT

# Windows-side programs run in the case's prefix; texts handed to them are in the ANSI code page.
win() { WINEPREFIX=$prefix "$wine" "$@"; }
to_ansi() { if [ -n "${dbcs:-}" ]; then iconv -f UTF-8 -t CP932; else cat; fi; }
dbcs_names() {
  if [ -n "${dbcs:-}" ]; then
    sed -e 's/C:\\Acme/C:\\ソフト表/g' -e 's/Acme Tool/表計算ソフト/g' -e 's/[Rr]eadme\.txt/能力表.txt/g'
  else
    cat
  fi
}
# Copies a sample file into C:\e2e, with the case's names and in its code page.
stage() { dbcs_names < "$sample/$1" | to_ansi > "$drive_c/e2e/$1"; }

# The system directories are linked, not copied: the programs under test only add or delete
# entries there, which leaves the shared prefix untouched. Everything else is a real copy.
fresh_prefix() {
  # Cases start side by side: only one of them may create a missing shared prefix.
  mkdir -p "$(dirname "$base")"
  (
    flock 9
    [ -f "$base/.uninst-ready" ] || UNINST_WINEPREFIX=$base "$top/scripts/wineprefix" >/dev/null
  ) 9> "$base.lock"
  rm -rf "$work"
  mkdir -p "$prefix"
  tar -C "$base" --exclude=./drive_c/windows/system32 --exclude=./drive_c/windows/winsxs \
      --exclude=./wineserver -cf - . | tar -C "$prefix" -xf -
  cp -al "$base/drive_c/windows/system32" "$base/drive_c/windows/winsxs" "$drive_c/windows/"
  # Tests running in the shared prefix meanwhile may have left temporary log copies there.
  rm -f "$drive_c/windows/_detmp."*
  mkdir -p "$drive_c/e2e" "$drive_c/Other"
  cp "$bin/uninst.exe" "$drive_c/windows/uninst.exe"
  cp "$bin/e2e_helper.exe" "$bin/progman_peer.exe" "$bin/logtool.exe" "$drive_c/e2e/"
}

helper() { win 'C:\e2e\e2e_helper.exe' "$@"; }

check() {
  local what=$1
  shift
  local files=()
  for f in "$@"; do
    stage "$f"
    files+=("C:\\e2e\\$f")
  done
  local status=0
  helper check "${files[@]}" > "$work/check.out" 2>&1 || status=$?
  # The check program answers 1 for a difference; any other failure is Wine failing to start it
  # (seen rarely on a loaded machine), and a check only reads, so it is asked once more.
  if [ "$status" != 0 ] && [ "$status" != 1 ]; then
    say "check program failed to run (exit code $status): $(tr '\r\n' '  ' < "$work/check.out"); once more"
    status=0
    helper check "${files[@]}" > "$work/check.out" 2>&1 || status=$?
  fi
  cat "$work/check.out"
  [ "$status" = 0 ] || fail "$what (exit code $status)"
}

# Installation steps can be repeated without harm; one that fails (Wine failing to start a
# program, seen rarely on a loaded machine) is tried once more before the case fails.
again_once() {
  local what=$1
  shift
  local status=0
  "$@" > "$work/step.out" 2>&1 || status=$?
  if [ "$status" != 0 ]; then
    say "$what failed (exit code $status): $(tr '\r\n' '  ' < "$work/step.out"); once more"
    status=0
    "$@" > "$work/step.out" 2>&1 || status=$?
  fi
  cat "$work/step.out"
  [ "$status" = 0 ] || fail "$what (exit code $status): $(tr '\r\n' '  ' < "$work/step.out")"
}

# system.ini names the shell; the per-program version emulation names the platform.
set_platform() {
  local shell=$1 version=$2
  printf '[boot]\r\nshell=%s\r\n' "$shell" >> "$drive_c/windows/system.ini"
  if [ -n "$version" ]; then
    win reg add 'HKCU\Software\Wine\AppDefaults\uninst.exe' /v Version /d "$version" /f >/dev/null 2>&1
  fi
}

log_path='C:\Acme\Tool\acmetool.isu'

install_sample() {
  local desktop=$1
  stage acme.txt
  # Command lines reach Windows programs through the Unix locale, so names stay in UTF-8 here.
  log=$(printf '%s' "$log_path" | dbcs_names)
  again_once "log directory" helper mkdir "$(printf '%s' 'C:\Acme\Tool' | dbcs_names)"
  again_once "logtool build" win 'C:\e2e\logtool.exe' build 'C:\e2e\acme.txt' "$log"
  again_once "sentinel registry" win reg import 'Z:'"$(echo "$sample/sentinels.reg" | tr / '\\')"
  again_once "sentinel files" helper touch 'C:\Other\keep.txt' 'C:\windows\system32\acmecomm.dll' \
    'C:\windows\system32\othershr.dll' '%PROGRAMS%\Other Tools\Other.lnk'
  again_once "install" helper install "$log" "$desktop" 'C:\windows\uninst.exe' 'C:\e2e\seed.txt'
  check "installed" installed.txt
  check "sentinels in place" kept.txt
  if [ "$desktop" = explorer ]; then
    check "shortcuts installed" installed_explorer.txt
    check "sentinel shortcuts in place" kept_explorer.txt
  fi
}

start_peer() {
  printf 'group Other Tools\r\nitem Other\r\n' >> "$drive_c/e2e/seed.txt"
  win 'C:\e2e\progman_peer.exe' 'C:\e2e\seed.txt' 'C:\e2e\progman.txt' &
  background+=($!)
  for _ in $(seq 100); do [ -f "$drive_c/e2e/progman.txt.state" ] && return 0; sleep 0.1; done
  fail "the stand-in Program Manager did not start"
}

check_peer() {
  diff <(tr -d '\r' < "$drive_c/e2e/progman.txt") "$sample/progman_transactions.txt" ||
    fail "Program Manager transactions"
  diff <(tr -d '\r' < "$drive_c/e2e/progman.txt.state") "$sample/progman_state.txt" ||
    fail "Program Manager groups afterwards"
}

# Runs uninst.exe with the given options while e2e_helper drives its windows with the steps.
run_uninstaller() {
  local options=$1
  shift
  helper drive "$@" > "$work/drive.out" 2>&1 &
  local driver=$!
  background+=($driver)
  timeout 180 "$wine" 'C:\windows\uninst.exe' $options"$log" ||
    fail "uninst.exe did not end by itself"
  wait "$driver" || fail "window steps: $(tr '\n' ' ' < "$work/drive.out")"
}

await_file() { for _ in $(seq 600); do [ -e "$1" ] && return 0; sleep 0.1; done; return 1; }

# Cuts the uninstaller's temporary log copy at the given offset behind Windows' back, and puts it
# back whole (the same file, rewritten in place) once the error is on the screen.
fail_disk_while_asked() {
  local cut=$1 copy
  await_file "$drive_c/e2e/question-up" || return 1
  copy=$(ls "$drive_c/windows/"_detmp.* | head -1)
  cp "$copy" "$work/log-copy"
  truncate -s "$cut" "$copy"
  touch "$drive_c/e2e/disk-failed"
  await_file "$drive_c/e2e/error-shown" || return 1
  cat "$work/log-copy" > "$copy"
  touch "$drive_c/e2e/disk-repaired"
}

# After a complete uninstall on an Explorer desktop: everything of the sample gone, the shared
# file counted once less, everything else as it was.
check_uninstalled_explorer() {
  check "removed" counted_once.txt removed.txt removed_dirs.txt removed_product.txt removed_explorer.txt
  check "kept" kept.txt kept_explorer.txt
}

shared_question='press:Remove Shared File?:6'
progress='Remove Programs From Your Computer'

run_case() {
  case $case_name in
    nt_explorer_auto)
      set_platform Explorer.exe ""
      install_sample explorer
      run_uninstaller "-a -f" "$shared_question"
      check_uninstalled_explorer
      ;;
    nt_explorer_interactive)
      set_platform 'C:\WINDOWS\EXPLORER.EXE' ""
      install_sample explorer
      run_uninstaller "-f" 'press:Confirm File Deletion:6' "$shared_question" "wait:$progress:1" \
        "text:$progress:701" "press:$progress:1"
      grep -q '^text: Uninstall successfully completed\.' "$work/drive.out" ||
        fail "final message: $(grep '^text:' "$work/drive.out")"
      check_uninstalled_explorer
      ;;
    nt_progman_auto | win32s_auto)
      if [ "$case_name" = win32s_auto ]; then set_platform progman.exe win31; else set_platform progman.exe ""; fi
      install_sample progman
      start_peer
      run_uninstaller "-a -f" "$shared_question"
      check_peer
      if [ "$case_name" = win32s_auto ]; then
        check "removed" counted_once.txt removed.txt removed_dirs.txt
        check "kept" kept.txt kept_product.txt
      else
        check "removed" counted_once.txt removed.txt removed_dirs.txt removed_product.txt
        check "kept" kept.txt
      fi
      ;;
    win95_auto)
      set_platform progman.exe win95
      install_sample explorer
      run_uninstaller "-a -f" "$shared_question"
      check_uninstalled_explorer
      ;;
    abandoned_then_rerun)
      set_platform Explorer.exe ""
      install_sample explorer
      # The run is abandoned at the shared-file question: its message loop gets the quit message.
      run_uninstaller "-f" 'press:Confirm File Deletion:6' 'quit:Remove Shared File?'
      check "restored after the abandoned run" abandoned.txt installed_explorer.txt
      run_uninstaller "-a -f" "$shared_question"
      check_uninstalled_explorer
      ;;
    failed_step_then_rerun)
      set_platform Explorer.exe ""
      install_sample explorer
      # While the shared-file question is up, the temporary log copy loses its registry records, as
      # on a failing disk: the next read fails, the user is told (message 1006), and once the copy
      # is whole again the run ends restored.
      local registry_records
      registry_records=$(helper offset "$log" CRK | tr -d '\r')
      fail_disk_while_asked "$registry_records" &
      background+=($!)
      run_uninstaller "-f" 'press:Confirm File Deletion:6' 'wait:Remove Shared File?:6' \
        'signal:question-up' 'await:disk-failed' "$shared_question" 'text:Uninstall:65535' \
        'signal:error-shown' 'await:disk-repaired' 'press:Uninstall:1'
      grep -q '^text: Internal error, unable to continue uninstall process\.' "$work/drive.out" ||
        fail "error message: $(grep '^text:' "$work/drive.out")"
      check "restored after the failed run" failed_step.txt
      run_uninstaller "-a -f" 'press:Remove Shared File?:7'
      check "removed" counted_twice.txt removed.txt removed_dirs.txt removed_product.txt removed_explorer.txt
      check "kept" kept.txt kept_explorer.txt
      ;;
    in_use_nt | in_use_win95)
      if [ "$case_name" = in_use_win95 ]; then set_platform progman.exe win95; else set_platform Explorer.exe ""; fi
      install_sample explorer
      helper hold 'C:\Acme\Tool\acmetool.exe' 'C:\e2e\release' > "$work/hold.out" &
      local holder=$!
      background+=($holder)
      for _ in $(seq 100); do grep -q holding "$work/hold.out" 2>/dev/null && break; sleep 0.1; done
      run_uninstaller "-a -f" "$shared_question"
      if [ "$case_name" = in_use_win95 ]; then check "deferred" deferred_win95.txt; else check "deferred" deferred_nt.txt; fi
      touch "$drive_c/e2e/release"
      wait "$holder"
      win wineboot -r >/dev/null 2>&1
      WINEPREFIX=$prefix "$server" -w
      check "removed after the restart" counted_once.txt removed.txt removed_product.txt removed_explorer.txt
      check "left behind" in_use_left.txt
      check "kept" kept.txt kept_explorer.txt
      ;;
    dbcs_paths)
      export LC_ALL=ja_JP.UTF-8
      dbcs=1
      set_platform Explorer.exe ""
      install_sample explorer
      run_uninstaller "-a -f" "$shared_question"
      check_uninstalled_explorer
      ;;
    *)
      fail "unknown case"
      ;;
  esac
}

fresh_prefix
export WINEPREFIX=$prefix
# Wine's system processes start with the first program and would inherit our output handles.
win cmd /c exit </dev/null >/dev/null 2>&1
run_case
if [ "$failures" -gt 0 ]; then
  say "$failures failure(s)"
  exit 1
fi
say "passed"
exit 0
