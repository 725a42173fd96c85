#!/bin/bash
# Message boxes and file dialogs go through platform/dialogs, where the tests
# queue their answers: no C++ file of the program outside platform/ names
# QMessageBox or QFileDialog. (The tests themselves look at the boxes the
# platform shows, so tests/ is not the program here.)
# Usage: no_direct_dialogs.sh <top folder of the sources>
set -u
top=${1:?top folder}
found=$(cd "$top" && grep -rnE --include='*.cpp' --include='*.h' '\bQ(MessageBox|FileDialog)\b' \
    app components bench tools 2>/dev/null)
if [ -n "$found" ]; then
    echo "Message boxes and file dialogs only through platform/dialogs; called directly in:"
    echo "$found"
    exit 1
fi
# The folders looked at must be there, or the check looks at nothing.
for d in app components; do
    [ -d "$top/$d" ] || { echo "no folder $top/$d"; exit 1; }
done
echo "no direct QMessageBox or QFileDialog outside platform/"
