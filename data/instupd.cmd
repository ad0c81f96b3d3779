#!/bin/sh
# Installs a program update. Zorvanell checks the signature of update.rar, starts this script
# with /bin/sh and exits at once. The script waits for the program to be gone, unpacks the archive
# into a staging folder and refuses it whole when it holds anything but plain files and folders.
# Then it replaces the program's files one by one, setting each old file aside, and puts every old
# file back when anything fails. The user's catalogue, settings, caption set and screenshots are
# never replaced. Whatever happens, the program is started again, with the umask, locale and
# working folder it had, and finds in instupd.status what happened ("installed", "refused",
# "rolled back", "interrupted" or "restore failed"); instupd.log says why.
#
# The staging folder .instupd-work is the journal: whatever stops the script (a signal, a power
# loss), the next run finds it and finishes the job, forward when every new file was in place,
# back otherwise ("interrupted"). The program, finding the journal at its start, runs
# "instupd.cmd --recover", which does only that. One run at a time holds .instupd-lock.
#
# Names are only ever passed as arguments (find -print0 | xargs -0), so blanks and line breaks
# in them are harmless. ZORVANELL_INSTALL_WAIT shortens the waits (seconds, for tests).

set -u
# Kept for the program's restart: this script changes both for itself.
user_umask=$(umask)
if [ "${LC_ALL+set}" = set ]; then
    user_lc_all=$LC_ALL had_lc_all=yes
else
    user_lc_all= had_lc_all=no
fi
umask 022
# UTF-8 names unpack as they are; grep below reads the listing as text whatever bytes it holds.
LC_ALL=C.UTF-8
export LC_ALL

nl='
'
# Lines the log could not take (a full disk); written once the staging space is freed.
unsaid=
say() {
    line="$(date '+%Y-%m-%d %H:%M:%S') instupd: $*"
    if [ -z "$unsaid" ] && printf '%s\n' "$line" >>"$log" 2>/dev/null; then
        return 0
    fi
    unsaid=$unsaid$line$nl
}

# The user's files (and this script's own) that an archive may hold but never replaces, by their
# name at the top of the archive, ignoring letter case.
kept() {
    case $(printf '%s' "$1" | tr '[:upper:]' '[:lower:]') in
    zorvanell.dat | zorvanell.dat-* | options.ini | language.ini | screenshots | tmp | progver.ini) return 0 ;;
    update.rar | update.rar.minisig | instupd.log | instupd.status | instupd.status.new | .instupd-*) return 0 ;;
    esac
    return 1
}

# The helpers below run from the copy of this script in the staging folder, with a batch of names
# from xargs: --survey, --place, --restore and --unmake. What they have to say goes to the standard
# output, which the script writes to the log. Each step is marked in the staging folder before it
# is taken, so a helper stopped anywhere leaves what --restore needs.

# Notes which of the archive's folders exist already, before anything changes.
survey() {
    for path do
        rel=${path#"$work/new/"}
        if [ -d "$dir/$rel" ]; then
            mkdir -p -- "$work/existed/$rel" || exit 255
        fi
    done
}

# Puts the archive's folders and files in place in name order, parents first. A file that replaces
# an old one is marked in done/ and the old one moved to old/ first; a file that is new is marked
# in added/.
place() {
    for path do
        rel=${path#"$work/new/"}
        new=$work/new/$rel
        target=$dir/$rel
        if [ -d "$new" ]; then
            if [ -L "$target" ]; then
                printf '%s\n' "failed at $rel: a link stands where the update has a folder"
                exit 255
            elif [ -d "$target" ]; then
                :
            elif [ -e "$target" ]; then
                printf '%s\n' "failed at $rel: a file stands where the update has a folder"
                exit 255
            elif ! mkdir -- "$target"; then
                printf '%s\n' "failed at $rel: cannot make the folder"
                exit 255
            fi
            continue
        fi
        if [ -d "$target" ] && [ ! -L "$target" ]; then
            printf '%s\n' "failed at $rel: a folder stands where the update has a file"
            exit 255
        fi
        if [ -e "$target" ] || [ -L "$target" ]; then
            case $rel in
            */*) mkdir -p -- "$work/done/${rel%/*}" "$work/old/${rel%/*}" || exit 255 ;;
            esac
            : >"$work/done/$rel" || exit 255
            if ! mv -f -- "$target" "$work/old/$rel"; then
                printf '%s\n' "failed at $rel: cannot set the old file aside"
                exit 255
            fi
        else
            case $rel in
            */*) mkdir -p -- "$work/added/${rel%/*}" || exit 255 ;;
            esac
            : >"$work/added/$rel" || exit 255
        fi
        if ! mv -f -- "$new" "$target"; then
            printf '%s\n' "failed at $rel: cannot put the new file in place"
            exit 255
        fi
    done
}

# Undoes place for the files it marked, and may be run again after a stop: an old file still in
# old/ goes back (once back, nothing is left to do); a new file no longer in new/ goes away.
restore() {
    status=0
    for path do
        case $path in
        "$work/done/"*)
            rel=${path#"$work/done/"}
            if [ -e "$work/old/$rel" ] || [ -L "$work/old/$rel" ]; then
                mv -f -- "$work/old/$rel" "$dir/$rel" || {
                    printf '%s\n' "cannot put back $rel"
                    status=1
                }
            fi
            ;;
        "$work/added/"*)
            rel=${path#"$work/added/"}
            if [ ! -e "$work/new/$rel" ]; then
                rm -f -- "$dir/$rel" || {
                    printf '%s\n' "cannot remove the new $rel"
                    status=1
                }
            fi
            ;;
        esac
    done
    exit "$status"
}

# Removes the folders place made (deepest first); folders that existed before stay.
unmake() {
    for path do
        rel=${path#"$work/new/"}
        [ -d "$work/existed/$rel" ] || rmdir -- "$dir/$rel" 2>/dev/null
    done
    exit 0
}

case ${1:-} in
--survey | --place | --restore | --unmake)
    [ "$#" -ge 3 ] || exit 2
    mode=$1 dir=$2 work=$3
    shift 3
    case $mode in
    --survey) survey "$@" ;;
    --place) place "$@" ;;
    --restore) restore "$@" ;;
    --unmake) unmake "$@" ;;
    esac
    exit 0
    ;;
--recover) recovering=yes ;;
*) recovering=no ;;
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
# The program looks for the journal and the lock under these names too.
work=$dir/.instupd-work
trash=$dir/.instupd-trash
lock=$dir/.instupd-lock

# The script's own files are only ever plain files (the journal and trash plain folders) of this
# folder: a link, pipe or anything else planted under one of their names is removed, not followed
# or opened, so that nothing is written outside the folder and nothing waits on a pipe. $2 is f or d.
clear_way() {
    if [ -L "$1" ]; then
        rm -f -- "$1"
    elif [ -e "$1" ] && ! test "-$2" "$1"; then
        rm -f -- "$1" 2>/dev/null || rmdir -- "$1" 2>/dev/null
    fi
}
clear_way "$log" f

wait_limit=${ZORVANELL_INSTALL_WAIT:-60}
case $wait_limit in
'' | *[!0-9]*) wait_limit=60 ;;
esac

# Flushes what was written so far to the disk, so that a power loss cannot undo an earlier step
# after a later one has happened.
settle() {
    sync -f -- "$dir" 2>/dev/null || sync
}

# The status is overwritten in place and then cut to its length: the file was made long enough
# before the install began, so this needs no room on the disk.
set_status() {
    clear_way "$status_file" f
    printf '%s\n' "$1" 1<>"$status_file" 2>/dev/null &&
        truncate -s "$((${#1} + 1))" -- "$status_file" 2>/dev/null
}

start_program() {
    exec 9>&-
    if [ ! -x "$program" ] || [ ! -f "$program" ]; then
        say "cannot start $program"
        return
    fi
    # In a session of its own, so that a signal to this script's process group spares it, and
    # with what it had when it started this script.
    (
        umask "$user_umask"
        if [ "$had_lc_all" = yes ]; then
            LC_ALL=$user_lc_all
            export LC_ALL
        else
            unset LC_ALL
        fi
        exec setsid -f "$program" >/dev/null 2>&1 </dev/null
    ) || say "cannot start $program"
}

# Writes the outcome ($1), retires the journal, frees the staging space, and only then writes the
# reason ($2, if any) and the outcome to the log, so that a full disk loses neither.
finish() {
    set_status "$1" || say "cannot write $status_file"
    settle
    retired=yes
    if [ -d "$work" ]; then
        if [ "$1" = "restore failed" ]; then
            # The old files still lie in the staging folder; it stays for the user, under another name
            # so that no later run takes it for an unfinished install.
            kept_folder=$dir/.instupd-kept-$(date '+%Y%m%d-%H%M%S')-$$
            if mv -T -- "$work" "$kept_folder"; then
                say "the old files are kept in $kept_folder"
            else
                retired=no
            fi
        elif rm -rf -- "$trash" && mv -T -- "$work" "$trash"; then
            rm -rf -- "$trash"
        else
            retired=no
        fi
    fi
    rm -f -- "$archive" "$archive.minisig"
    if [ -n "$unsaid" ]; then
        printf '%s' "$unsaid" >>"$log" 2>/dev/null
        unsaid=
    fi
    [ "$#" -ge 2 ] && say "$2"
    say "$1"
    if [ "$retired" = no ]; then
        # The program would find the journal again and hand it straight back.
        say "cannot remove the journal $work; the program is not started again"
        exit 1
    fi
    start_program
    exit 0
}

refuse() {
    finish refused "refused: $*"
}

# Runs a helper of the journal's own copy of this script over NUL-separated names; its words go
# to the log. Fails when the helper did.
helper() {
    said=$(xargs -0 -r /bin/sh "$work/instupd.sh" "$@" "$dir" "$work" 2>&1)
    status=$?
    [ -z "$said" ] || say "$said"
    return "$status"
}

# Undoes what the journal says was done: old files back, new files and folders away.
roll_back() {
    restored=yes
    find "$work/done" "$work/added" -type f -print0 2>/dev/null | helper --restore || restored=no
    find "$work/new" -mindepth 1 -depth -type d -print0 2>/dev/null | helper --unmake
    [ "$restored" = yes ]
}

# Finishes the install the journal tells of.
recover() {
    if [ -e "$work/placed" ]; then
        say "an install stopped after every new file was in place; it is finished"
        finish installed
    fi
    if [ ! -e "$work/placing" ]; then
        say "an install stopped before any file was replaced"
        finish interrupted
    fi
    say "an install stopped half-way; putting the old files back"
    roll_back || finish "restore failed"
    finish interrupted
}

# One run at a time: a second one waits for the first, which holds the lock until it ends (its
# helpers hold it too, so a run whose shell alone was killed still counts until they are done).
clear_way "$lock" f
if ! { command exec 9>>"$lock"; } 2>/dev/null; then
    say "cannot open $lock; going on without it"
elif ! command -v flock >/dev/null 2>&1; then
    say "flock is not installed (Debian package util-linux); going on without $lock"
elif ! flock -w "$wait_limit" 9; then
    say "another run of the install script did not end within $wait_limit seconds; this one gives way"
    exit 0
fi
rm -rf -- "$trash"
clear_way "$work" d

# Started by the program that found a journal; another recovery has already done the work when
# it is gone, and has started the program again.
if [ "$recovering" = yes ] && [ ! -d "$work" ]; then
    exit 0
fi

# Wait until no process runs the program from this folder.
# A process runs it when its executable is the same file; one find looks at every process at once.
running() {
    [ -n "$(find -L /proc/[0-9]*/exe -maxdepth 0 -samefile "$program" -print -quit 2>/dev/null)" ]
}
tries=0
while running; do
    if [ "$tries" -ge $((wait_limit * 10)) ]; then
        [ "$recovering" = yes ] &&
            { say "the program was still running after $wait_limit seconds; the journal is left for its next start"; exit 0; }
        refuse "the program was still running after $wait_limit seconds"
    fi
    sleep 0.1
    tries=$((tries + 1))
done

[ -d "$work" ] && recover

say "installing $archive"
[ -f "$archive" ] || refuse "there is no update.rar"
command -v bsdtar >/dev/null 2>&1 || refuse "bsdtar is not installed (Debian package libarchive-tools)"
# The status's room is taken now, while the disk has it; until the end it says "interrupted".
clear_way "$status_file" f
printf '%-31s\n' interrupted >"$status_file" 2>/dev/null || say "cannot write $status_file"
mkdir -- "$work" || refuse "cannot make a staging folder"
{ mkdir -- "$work/new" "$work/old" "$work/done" "$work/added" "$work/existed" && cp -- "$0" "$work/instupd.sh"; } ||
    refuse "cannot prepare the staging folder"

# bsdtar skips a damaged part of a tar archive with a warning and still ends with success:
# anything it says counts as a failure. What it says is kept in $said (not in a file, which a full
# disk would leave empty). $1 is where its output goes.
tar_quietly() {
    out=$1
    shift
    said=$(bsdtar "$@" 2>&1 >"$out" && echo "=0" || echo "=$?")
    status=${said##*=}
    said=$(printf '%s' "${said%=*}" | head -n 5)
    [ -z "$said" ] && return "$status"
    said=": $said"
    return 1
}

# The listing first: only plain files ("-") and folders ("d"); no links, devices or FIFOs;
# no absolute names and no "..". bsdtar shows line breaks in names as \n, so one line is one member.
tar_quietly "$work/listing" -tvf "$archive" || refuse "the archive cannot be read$said"
[ -s "$work/listing" ] || refuse "the archive cannot be read: it holds nothing"
bad=$(grep -av '^[-d]' "$work/listing" | head -n 5)
[ -z "$bad" ] || refuse "the archive holds links, devices or other special files: $bad"
tar_quietly "$work/names" -tf "$archive" || refuse "the archive cannot be read$said"
bad=$(grep -aE '^/|(^|/)\.\.(/|$)' "$work/names" | head -n 5)
[ -z "$bad" ] || refuse "the archive holds absolute names or ..: $bad"

tar_quietly /dev/null -xf "$archive" -C "$work/new" --no-same-owner --no-same-permissions --no-acls --no-xattrs \
    --no-fflags || refuse "the archive cannot be unpacked whole$said"
# Folders without read or search permission would hide what lies in them (chmod passes links by).
said=$(chmod -R u+rwX -- "$work/new" 2>&1) || refuse "cannot read the unpacked archive: $said"
# What actually landed counts too: anything but plain files and folders, a file with a second
# name (a hard link), or a set-user or set-group bit.
bad=$(find "$work/new" -mindepth 1 \( ! -type f ! -type d \) -print -o \
    -type f \( -links +1 -o -perm -4000 -o -perm -2000 \) -print 2>&1) ||
    refuse "cannot look through the unpacked archive: $(printf '%s' "$bad" | head -n 5)"
bad=$(printf '%s' "$bad" | head -n 5)
[ -z "$bad" ] || refuse "the unpacked archive holds something else than plain files and folders: $bad"

# The user's files leave the unpacked archive before anything else looks at it.
mkdir -- "$work/skipped" || refuse "cannot write to the staging folder"
for entry in "$work/new"/* "$work/new"/.[!.]* "$work/new"/..?*; do
    { [ -e "$entry" ] || [ -L "$entry" ]; } && kept "${entry##*/}" || continue
    say "kept ${entry##*/}: an update never replaces it"
    mv -- "$entry" "$work/skipped/" || refuse "cannot set aside ${entry##*/}"
done

find "$work/new" -mindepth 1 -type d -print0 | helper --survey || refuse "cannot look at the program's folders"
# The unpacked files are on the disk before any old one is moved.
settle
: >"$work/placing" || refuse "cannot write to the staging folder"
if find "$work/new" -mindepth 1 -print0 | LC_ALL=C sort -z | helper --place && : >"$work/placed"; then
    settle
    finish installed
fi

say "putting the old files back"
roll_back || finish "restore failed"
finish "rolled back"
