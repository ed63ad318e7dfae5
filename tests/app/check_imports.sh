#!/bin/sh
# The exe must run as one file: every DLL it imports is a part of Windows, none is a
# MinGW runtime or a library of ours that would have to sit beside it.
# Usage: check_imports.sh objdump pelmix.exe
objdump=$1 exe=$2
dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$dlls" ] || { echo "no imports read from $exe"; exit 1; }
echo "$dlls"
bad=$(echo "$dlls" | grep -v -x -E '(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|comdlg32|comctl32|wininet|ws2_32|crypt32|bcrypt|secur32|msvcrt|ntdll|psapi|shlwapi|version|winmm|avicap32|avifil32|msvfw32|quartz|strmiids|uuid|iphlpapi|normaliz|wldap32|rpcrt4|userenv|dbghelp)\.dll')
[ -z "$bad" ] || { echo "imports a DLL that is not part of Windows: $bad"; exit 1; }
