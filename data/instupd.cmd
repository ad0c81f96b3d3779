#!/bin/sh
# Installs a program update. Zorvanell checks the signature of update.rar, starts this script
# with /bin/sh and exits at once. The script waits for the program to be gone, unpacks the archive
# into a staging folder and refuses it whole when it holds anything but plain files and folders.
# Then it replaces the program's files one by one, setting each old file aside, and puts every old
# file back when anything fails. The user's catalogue, settings, caption set and screenshots are
# never replaced. Whatever happens, the program is started again and finds in instupd.status what
# happened ("installed", "refused", "rolled back" or "restore failed"); instupd.log says why.
#
# Names are only ever passed as arguments (find -print0 | xargs -0), so blanks and line breaks
# in them are harmless. ZORVANELL_INSTALL_WAIT shortens the wait for the program (seconds, for tests).

set -u
umask 022
# UTF-8 names unpack as they are; grep below reads the listing as text whatever bytes it holds.
LC_ALL=C.UTF-8
export LC_ALL

say() {
    printf '%s instupd: %s\n' "$(date '+%Y-%m-%d %H:%M:%S')" "$*" >>"$log" 2>/dev/null
}

# The user's files (and this script's own) that an archive may hold but never replaces, by the first
# part of their name, ignoring letter case.
kept() {
    case $(printf '%s' "$1" | tr '[:upper:]' '[:lower:]') in
    zorvanell.dat | zorvanell.dat-* | options.ini | language.ini | screenshots | tmp | progver.ini) return 0 ;;
    update.rar | update.rar.minisig | instupd.log | instupd.status | instupd.status.new | .instupd-*) return 0 ;;
    esac
    return 1
}

# The helpers below run from a copy of this script in the staging folder, with a batch of names
# from xargs: --survey, --place, --restore and --unmake.

# Notes which of the archive's folders exist already, before anything changes.
survey() {
    for path do
        rel=${path#"$work/new/"}
        if [ -d "$dir/$rel" ]; then
            mkdir -p -- "$work/existed/$rel" || exit 255
        fi
    done
}

# Puts the archive's folders and files in place in name order, parents first. Each old file is
# moved to old/ first; done/ marks every file touched, so that restore knows what to undo.
place() {
    for path do
        rel=${path#"$work/new/"}
        if kept "${rel%%/*}"; then
            [ "$rel" = "${rel%%/*}" ] && say "kept $rel: an update never replaces it"
            continue
        fi
        new=$work/new/$rel
        target=$dir/$rel
        if [ -d "$new" ]; then
            if [ -L "$target" ]; then
                say "failed at $rel: a link stands where the update has a folder"
                exit 255
            elif [ -d "$target" ]; then
                :
            elif [ -e "$target" ]; then
                say "failed at $rel: a file stands where the update has a folder"
                exit 255
            elif ! mkdir -- "$target"; then
                say "failed at $rel: cannot make the folder"
                exit 255
            fi
            continue
        fi
        if [ -d "$target" ] && [ ! -L "$target" ]; then
            say "failed at $rel: a folder stands where the update has a file"
            exit 255
        fi
        case $rel in
        */*) mkdir -p -- "$work/done/${rel%/*}" "$work/old/${rel%/*}" || exit 255 ;;
        esac
        : >"$work/done/$rel" || exit 255
        if [ -e "$target" ] || [ -L "$target" ]; then
            if ! mv -f -- "$target" "$work/old/$rel"; then
                say "failed at $rel: cannot set the old file aside"
                exit 255
            fi
        fi
        if ! mv -f -- "$new" "$target"; then
            say "failed at $rel: cannot put the new file in place"
            exit 255
        fi
    done
}

# Undoes place for the files it touched: the old file goes back, a file that was new goes away.
restore() {
    status=0
    for path do
        rel=${path#"$work/done/"}
        if [ -e "$work/old/$rel" ] || [ -L "$work/old/$rel" ]; then
            mv -f -- "$work/old/$rel" "$dir/$rel" || {
                say "cannot put back $rel"
                status=1
            }
        elif [ ! -e "$work/new/$rel" ]; then
            rm -f -- "$dir/$rel" || {
                say "cannot remove the new $rel"
                status=1
            }
        fi
    done
    exit "$status"
}

# Removes the folders place made (deepest first); folders that existed before stay.
unmake() {
    for path do
        rel=${path#"$work/new/"}
        kept "${rel%%/*}" && continue
        [ -d "$work/existed/$rel" ] || rmdir -- "$dir/$rel" 2>/dev/null
    done
    exit 0
}

case ${1:-} in
--survey | --place | --restore | --unmake)
    [ "$#" -ge 3 ] || exit 2
    mode=$1 dir=$2 work=$3
    log=$dir/instupd.log
    shift 3
    case $mode in
    --survey) survey "$@" ;;
    --place) place "$@" ;;
    --restore) restore "$@" ;;
    --unmake) unmake "$@" ;;
    esac
    exit 0
    ;;
esac

# The folder of this script, which is the program's folder. "x" keeps a line break that ends the
# folder's name from being taken off with pwd's own.
case $0 in
*/*) dir=${0%/*} ;;
*) dir=. ;;
esac
dir=$(cd -- "$dir" && pwd -P && echo x) || exit 1
dir=${dir%?x}
program=$dir/zorvanell
archive=$dir/update.rar
log=$dir/instupd.log
status_file=$dir/instupd.status
work=

finish() {
    say "$1"
    printf '%s\n' "$1" >"$status_file.new" 2>/dev/null && mv -f -- "$status_file.new" "$status_file"
    rm -f -- "$archive" "$archive.minisig"
    # After a failed restore the old files still lie in the staging folder; it stays for the user.
    if [ -n "$work" ] && [ "$1" != "restore failed" ]; then
        rm -rf -- "$work"
    fi
    if [ -x "$program" ] && [ -f "$program" ]; then
        (cd -- "$dir" && exec nohup "$program" >/dev/null 2>&1 </dev/null) &
    else
        say "cannot start $program"
    fi
    exit 0
}

refuse() {
    say "refused: $*"
    finish refused
}

# Wait until no process runs the program from this folder.
wait_limit=${ZORVANELL_INSTALL_WAIT:-60}
case $wait_limit in
'' | *[!0-9]*) wait_limit=60 ;;
esac
# A process runs it when its executable is the same file; one find looks at every process at once.
running() {
    [ -n "$(find -L /proc/[0-9]*/exe -maxdepth 0 -samefile "$program" -print -quit 2>/dev/null)" ]
}
tries=0
while running; do
    [ "$tries" -ge $((wait_limit * 10)) ] && refuse "the program was still running after $wait_limit seconds"
    sleep 0.1
    tries=$((tries + 1))
done

say "installing $archive"
[ -f "$archive" ] || refuse "there is no update.rar"
command -v bsdtar >/dev/null 2>&1 || refuse "bsdtar is not installed (Debian package libarchive-tools)"
work=$(mktemp -d -- "$dir/.instupd-XXXXXX") || refuse "cannot make a staging folder"
self=$work/instupd.sh
{ mkdir -- "$work/new" "$work/old" "$work/done" "$work/existed" && cp -- "$0" "$self"; } ||
    refuse "cannot prepare the staging folder"

# bsdtar skips a damaged part of a tar archive with a warning and still ends with success:
# anything it says counts as a failure.
tar_quietly() {
    bsdtar "$@" 2>"$work/said"
    status=$?
    if [ -s "$work/said" ]; then
        head -n 5 "$work/said" >>"$log"
        return 1
    fi
    return "$status"
}

# The listing first: only plain files ("-") and folders ("d"); no links, devices or FIFOs;
# no absolute names and no "..". bsdtar shows line breaks in names as \n, so one line is one member.
tar_quietly -tvf "$archive" >"$work/listing" || refuse "the archive cannot be read"
[ -s "$work/listing" ] || refuse "the archive cannot be read: it holds nothing"
bad=$(grep -av '^[-d]' "$work/listing" | head -n 5)
[ -z "$bad" ] || refuse "the archive holds links, devices or other special files: $bad"
tar_quietly -tf "$archive" >"$work/names" || refuse "the archive cannot be read"
bad=$(grep -aE '^/|(^|/)\.\.(/|$)' "$work/names" | head -n 5)
[ -z "$bad" ] || refuse "the archive holds absolute names or ..: $bad"

tar_quietly -xf "$archive" -C "$work/new" --no-same-owner --no-same-permissions --no-acls --no-xattrs --no-fflags ||
    refuse "the archive cannot be unpacked whole"
# Folders without read or search permission would hide what lies in them (chmod passes links by).
chmod -R u+rwX -- "$work/new" 2>>"$log" || refuse "cannot read the unpacked archive"
# What actually landed counts too: anything but plain files and folders, a file with a second
# name (a hard link), or a set-user or set-group bit.
find "$work/new" -mindepth 1 \( ! -type f ! -type d \) -print -o \
    -type f \( -links +1 -o -perm -4000 -o -perm -2000 \) -print >"$work/odd" 2>>"$log" ||
    refuse "cannot look through the unpacked archive"
bad=$(head -n 5 "$work/odd")
[ -z "$bad" ] || refuse "the unpacked archive holds something else than plain files and folders: $bad"

find "$work/new" -mindepth 1 -type d -print0 | xargs -0 -r /bin/sh "$self" --survey "$dir" "$work" 2>>"$log" ||
    refuse "cannot look at the program's folders"
if find "$work/new" -mindepth 1 -print0 | LC_ALL=C sort -z |
    xargs -0 -r /bin/sh "$self" --place "$dir" "$work" 2>>"$log"; then
    finish installed
fi

say "putting the old files back"
restored=yes
find "$work/done" -type f -print0 | xargs -0 -r /bin/sh "$self" --restore "$dir" "$work" 2>>"$log" || restored=no
find "$work/new" -mindepth 1 -depth -type d -print0 | xargs -0 -r /bin/sh "$self" --unmake "$dir" "$work" 2>>"$log"
if [ "$restored" = yes ]; then
    finish "rolled back"
fi
say "the old files are kept in $work"
finish "restore failed"
