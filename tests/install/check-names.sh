#!/usr/bin/env bash
# check-names.sh SOURCE_DIR: no text in the program's sources names Finder, Mac, macOS, Keychain or
# Application Support, which do not exist on this system. Every string literal is read, with literals
# that follow one another joined as the compiler joins them; comments, includes and code names are not
# texts and are left alone. Reads the sources only.
set -euo pipefail
[ -d "$1/src" ] || { echo "FAIL: no sources under $1/src" >&2; exit 1; }
found="$(find "$1/src" \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 perl -0777 -ne '
    while (m{^\s*\#\s*include[^\n]*|//[^\n]*|/\*.*?\*/|'"'"'(?:[^'"'"'\\\n]|\\.)+'"'"'
             |R"\((.*?)\)"|((?:"(?:[^"\\\n]|\\.)*"\s*)+)}gsmx) {
        my $text = $1 // $2 // next;
        $text =~ s/"\s*"//g;
        print "$ARGV: $text\n" if $text =~ /\b(?:Finder|Mac|macOS|Keychain|Application Support)\b/;
    }')"
[ -z "$found" ] || { echo "FAIL: texts that name another system:" >&2; echo "$found" >&2; exit 1; }
echo "no text in the sources names another system"
