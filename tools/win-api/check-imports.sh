#!/bin/sh
# Fails when the program imports a function outside the lists in this folder.
#   check-imports.sh OBJDUMP PROGRAM LIST_FOLDER
objdump=$1 program=$2 lists=$3
[ -f "$program" ] || { echo "no $program" >&2; exit 1; }
"$objdump" -p "$program" >"${TMPDIR:-/tmp}/imports.$$" || { echo "$objdump -p $program failed" >&2; exit 1; }
awk -v lists="$lists" '
  # Stub-only on the Windows 95 family, kept because the code around them works when
  # the call fails. Each entry: the function and why that is harmless.
  BEGIN {
    reason["CreateSemaphoreW"] = "libgcc (win32 thread model) makes the semaphore of its mutexes " \
      "(static-local guards, exception tables, emulated thread-local storage); it is waited on only " \
      "when a second thread contends. The saver runs one thread: lock and unlock take the " \
      "interlocked counter alone, and a failed call (null handle) is never used."
    reason["GetModuleHandleW"] = "the runtime asks for msvcrt.dll by a wide name to find " \
      "___lc_codepage_func, only when printf formats a wide string (%ls), which the saver never " \
      "does; where the call fails it reads the code page from setlocale instead."
    while ((getline line < (lists "/stubs-on-95-family.txt")) > 0)
      if (line !~ /^#/ && line != "") stub[line] = 1
  }
  function load(dll,    file, line) {
    if (dll in loaded) return
    loaded[dll] = 1
    file = lists "/" dll ".txt"
    while ((getline line < file) > 0) if (line !~ /^#/ && line != "") allowed[dll, line] = 1
    close(file)
  }
  /^[^ \t]/ { dll = "" }
  /DLL Name:/ { dll = tolower($3); sub(/\.dll$/, "", dll); listed = 0
                if (dll ~ /^(kernel32|user32|gdi32|advapi32|msvcrt)$/) { load(dll); listed = 1 }
                else { print "imports from " $3 ", which has no list"; bad++ }
                next }
  dll != "" && /^\t[0-9a-f]+\t/ {
    name = $NF
    if (!listed) next
    if (!((dll, name) in allowed)) { print dll ".dll!" name ": not in " dll ".txt (not on both Windows 95 and NT 4.0)"; bad++; next }
    if ((name in stub) || (dll != "msvcrt" && name ~ /W$/)) {
      if (name in reason) print "stub-only on the Windows 95 family, harmless: " dll ".dll!" name ": " reason[name]
      else { print dll ".dll!" name ": only a stub on the Windows 95 family, and no reason given"; bad++ }
    }
    count++
  }
  END {
    if (count == 0) { print "no imports read"; bad++ }
    if (bad) { print bad " import problem(s)"; exit 1 }
    print count " imports, all on Windows 95 and NT 4.0"
  }
' "${TMPDIR:-/tmp}/imports.$$"
status=$?
rm -f "${TMPDIR:-/tmp}/imports.$$"
exit $status
