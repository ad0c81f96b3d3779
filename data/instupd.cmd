#!/bin/sh
# Installs a program update: Zorvanell downloads update.rar into its folder, starts this
# script with /bin/sh and exits at once. The script waits for it to be gone, unpacks the
# archive over the program folder and starts the program again.

dir=$(cd "$(dirname "$0")" && pwd) || exit 1
program="$dir/zorvanell"
archive="$dir/update.rar"
log="$dir/instupd.log"

# Wait (at most a minute) until no process runs the program from this folder.
running() {
    for exe in /proc/[0-9]*/exe; do
        [ "$(readlink "$exe" 2>/dev/null)" = "$program" ] && return 0
    done
    return 1
}
tries=0
while running && [ "$tries" -lt 600 ]; do
    sleep 0.1
    tries=$((tries + 1))
done

if [ -f "$archive" ]; then
    # Refuse the whole archive when any member would land outside the program folder.
    if bsdtar -tf "$archive" >"$log.list" 2>>"$log" &&
        ! grep -Eq '^/|(^|/)\.\.(/|$)' "$log.list"; then
        # bsdtar itself also refuses absolute paths and ".." unless told otherwise (-P).
        if bsdtar -xf "$archive" -C "$dir" 2>>"$log"; then
            rm -f "$archive"
        else
            echo "instupd: unpacking $archive failed" >>"$log"
        fi
    else
        echo "instupd: $archive refused (unreadable, or holds absolute paths or ..)" >>"$log"
    fi
    rm -f "$log.list"
fi

if [ -x "$program" ]; then
    cd "$dir" && nohup "$program" >/dev/null 2>&1 &
fi
exit 0
