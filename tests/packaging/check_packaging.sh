#!/usr/bin/env bash
# Checks of the installed desktop integration, run by CTest (see CMakeLists.txt beside this file).
# Usage: check_packaging.sh CHECK STAGE PREFIX BUILD_DIR [PROGRAM...]
# STAGE is the DESTDIR, PREFIX the install prefix; PROGRAMs are the executables the build defines.
set -euo pipefail

check=$1 stage=$2 prefix=$3 build=$4
shift 4
programs=("$@")
root=$stage$prefix
failures=0
skipped=""

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

has() { command -v "$1" >/dev/null; }

builds() {
    local program
    for program in "${programs[@]}"; do
        [ "$program" = "$1" ] && return 0
    done
    return 1
}

finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures check(s) failed" >&2
        exit 1
    fi
    if [ -n "$skipped" ]; then
        echo "SKIPPED in part, missing:$skipped"
        exit 77
    fi
    exit 0
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

mime_xml=$root/share/mime/packages/vellumpad.xml
desktop=$root/share/applications/vellumpad.desktop
metainfo=$prefix/share/metainfo/io.github.vellumpad.Vellumpad.metainfo.xml

# Value of KEY in the desktop entry; the file has only the [Desktop Entry] group.
entry() { sed -n "s/^$1=//p" "$desktop" | head -n 1; }

case $check in
install)
    rm -rf "$stage"
    DESTDIR=$stage "${CMAKE:-cmake}" --install "$build" --prefix "$prefix"
    ;;

InstalledFileSetIsExactlyTheFreedesktopLayout)
    expected=()
    for program in "${programs[@]}"; do
        expected+=("$prefix/bin/$program")
    done
    for program in "${programs[@]}"; do
        expected+=("$prefix/share/man/man1/$program.1.gz")
    done
    if builds vellumpad-cli; then
        expected+=("$prefix/share/bash-completion/completions/vellumpad-cli")
    fi
    if builds vellumpad; then
        expected+=("$prefix/share/applications/vellumpad.desktop"
            "$prefix/share/icons/hicolor/scalable/apps/vellumpad.svg"
            "$metainfo")
    fi
    expected+=("$prefix/share/mime/packages/vellumpad.xml"
        "$prefix/share/icons/hicolor/scalable/mimetypes/application-x-vellumpad-note.svg"
        "$prefix/share/doc/vellumpad/copyright" "$prefix/share/doc/vellumpad/changelog.gz")
    printf '%s\n' "${expected[@]}" | sort >"$scratch/expected"
    (cd "$stage" && find . ! -type d | sed 's|^\.||' | sort) >"$scratch/actual"
    while read -r path; do fail "not installed: $path"; done < <(comm -23 "$scratch/expected" "$scratch/actual")
    while read -r path; do fail "installed but not expected (a stray or absolute destination?): $path"; done \
        < <(comm -13 "$scratch/expected" "$scratch/actual")

    while read -r path; do
        case $path in
        "$prefix"/bin/*) [ -x "$stage$path" ] || fail "program is not executable: $path" ;;
        *) [ ! -x "$stage$path" ] || fail "data file is executable: $path" ;;
        esac
    done <"$scratch/actual"

    # The .deb ships these binaries: every library must resolve without the build tree.
    for program in "${programs[@]}"; do
        binary=$root/bin/$program
        [ -f "$binary" ] || continue
        if ldd "$binary" | grep 'not found'; then
            fail "$program needs a shared library that is neither installed nor on the system"
        fi
        if has readelf; then
            if readelf -d "$binary" | grep -E 'R(UN)?PATH' | grep -F "$build"; then
                fail "$program keeps a library search path into the build tree"
            fi
        else
            skipped+=" readelf"
        fi
    done
    finish
    ;;

DesktopEntryIsValidAndNamesInstalledFiles)
    if ! builds vellumpad; then
        echo "SKIPPED: the build has no editor, so no desktop entry is installed"
        exit 77
    fi
    [ -f "$desktop" ] || { fail "no desktop entry at $desktop"; finish; }

    read -r exec_program exec_args <<<"$(entry Exec)"
    [ -x "$root/bin/$exec_program" ] || fail "Exec starts '$exec_program', which is not installed in bin"
    [ "$(entry TryExec)" = "$exec_program" ] || fail "TryExec '$(entry TryExec)' differs from Exec's program"
    # Without a file field code, opening a note from a file manager starts an empty editor.
    [[ $exec_args == *%[fFuU]* ]] || fail "Exec has no %f/%F/%u/%U, so the opened file is not passed on"

    icon=$(entry Icon)
    [ -f "$root/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "Icon '$icon' is not installed as an app icon"

    IFS=';' read -r -a types <<<"$(entry MimeType)"
    [ "${#types[@]}" -gt 0 ] || fail "the entry declares no MimeType, so no file opens with it"
    for type in "${types[@]}"; do
        grep -q "<mime-type type=\"$type\"" "$mime_xml" || fail "MimeType $type is not defined by $mime_xml"
    done

    if has update-desktop-database; then
        cp -r "$root/share/applications" "$scratch/applications"
        update-desktop-database "$scratch/applications"
        for type in "${types[@]}"; do
            grep -q "^$type=.*vellumpad\.desktop" "$scratch/applications/mimeinfo.cache" ||
                fail "the desktop database does not offer vellumpad.desktop for $type"
        done
    else
        skipped+=" update-desktop-database"
    fi

    if has desktop-file-validate; then
        desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
    else
        skipped+=" desktop-file-validate"
    fi
    finish
    ;;

MimeDatabaseMapsVpdFilesToTheNoteType)
    [ -f "$mime_xml" ] || { fail "no MIME package at $mime_xml"; finish; }
    if has xmllint; then
        xmllint --noout "$mime_xml" || fail "$mime_xml is not well-formed XML"
    fi

    # Desktops derive a type's icon name from the type, with "/" turned into "-".
    for type in $(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$mime_xml"); do
        icon=${type//\//-}
        [ -f "$root/share/icons/hicolor/scalable/mimetypes/$icon.svg" ] || fail "no icon $icon.svg for $type"
    done

    # Another type already claiming *.vpd would tie with ours at the same weight.
    if [ -f /usr/share/mime/globs2 ] &&
        grep -E '^[0-9]+:[^:]+:\*\.vpd($|:)' /usr/share/mime/globs2 | grep -v ':application/x-vellumpad-note:'; then
        fail "the system MIME database already maps *.vpd to another type"
    fi

    if ! has update-mime-database; then
        grep -q '<glob pattern="\*\.vpd"/>' "$mime_xml" || fail "$mime_xml declares no *.vpd glob"
        skipped+=" update-mime-database"
        finish
    fi
    mkdir -p "$scratch/mime/packages"
    cp "$mime_xml" "$scratch/mime/packages/"
    # update-mime-database reports a bad package on stderr yet may still exit 0; the XDG
    # variables only silence its notice that the scratch folder is off the search path.
    XDG_DATA_HOME=$scratch XDG_DATA_DIRS=$scratch update-mime-database "$scratch/mime" 2>"$scratch/errors" ||
        fail "update-mime-database failed"
    if [ -s "$scratch/errors" ]; then
        cat "$scratch/errors" >&2
        fail "update-mime-database complained about $mime_xml"
    fi
    grep -Eq '^[0-9]+:application/x-vellumpad-note:\*\.vpd$' "$scratch/mime/globs2" ||
        fail "the generated database does not map *.vpd to application/x-vellumpad-note"
    finish
    ;;

IconsAreWellFormedSvg)
    has xmllint || { echo "SKIPPED: xmllint is not installed"; exit 77; }
    icons=("$root/share/icons/hicolor/scalable/mimetypes/application-x-vellumpad-note.svg")
    builds vellumpad && icons+=("$root/share/icons/hicolor/scalable/apps/vellumpad.svg")
    for icon in "${icons[@]}"; do
        [ -f "$icon" ] || { fail "missing icon $icon"; continue; }
        xmllint --noout "$icon" || { fail "$icon is not well-formed XML"; continue; }
        [ "$(xmllint --xpath 'namespace-uri(/*)' "$icon")" = "http://www.w3.org/2000/svg" ] ||
            fail "$icon has no SVG root element"
        # Icon themes draw a scalable icon into a square; a non-square view box comes out squashed.
        read -r _ _ width height <<<"$(xmllint --xpath 'string(/*/@viewBox)' "$icon")"
        [ -n "$width" ] && [ "$width" = "$height" ] || fail "$icon has no square viewBox"
    done
    finish
    ;;

ManualPagesListEveryHelpOption)
    for program in "${programs[@]}"; do
        page=$root/share/man/man1/$program.1.gz
        [ -f "$page" ] || { fail "no manual page $page"; continue; }
        # The page as a reader sees it: roff's escaped hyphens and font changes taken out.
        zcat "$page" | sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' >"$scratch/page"
        # Every option the program names in its help, in a usage line or a list of options. The pages are
        # English, and so must be the help they are compared with.
        options=$(LANGUAGE=en LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen "$root/bin/$program" --help |
            grep -oE '(^|[[:space:],|[(])--?[[:alnum:]][[:alnum:]-]*' | sed -E 's/^[^-]//' | sort -u)
        [ -n "$options" ] || fail "$program --help names no option"
        for option in $options; do
            grep -qE -- "(^|[^[:alnum:]-])$option($|[^[:alnum:]-])" "$scratch/page" ||
                fail "$program --help lists $option, which its manual page does not mention"
        done
        if has man; then
            # man reports roff mistakes on stderr and still renders something.
            LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 "$page" \
                2>"$scratch/warnings" >/dev/null
            [ ! -s "$scratch/warnings" ] || { cat "$scratch/warnings" >&2; fail "$page renders with warnings"; }
        else
            skipped+=" man"
        fi
    done
    finish
    ;;

BashCompletionOffersEveryHelpOption)
    if ! builds vellumpad-cli; then
        echo "SKIPPED: the build has no vellumpad-cli, so no completion is installed"
        exit 77
    fi
    completion=$root/share/bash-completion/completions/vellumpad-cli
    [ -f "$completion" ] || { fail "no bash completion at $completion"; finish; }
    # What bash offers after the command and a dash, as a user pressing Tab twice would see it.
    offered() {
        PATH=$root/bin:$PATH bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1));
            _vellumpad_cli; printf "%s\n" "${COMPREPLY[@]}"' completion "$completion" vellumpad-cli "$@"
    }
    options=$(LANGUAGE=en LC_ALL=C.UTF-8 "$root/bin/vellumpad-cli" --help |
        sed -n '/^Options:/,/^$/p' | grep -oE '^  (-[[:alnum:]], )?--[[:alnum:]-]+' | grep -oE -- '--?[[:alnum:]-]+')
    [ -n "$options" ] || fail "vellumpad-cli --help lists no option"
    offered rekey - >"$scratch/rekey"
    offered encrypt - >"$scratch/encrypt"
    for option in $options; do
        grep -qxF -- "$option" "$scratch/rekey" || fail "completion does not offer $option, which --help lists"
    done
    for option in --old-password-file --new-password-file; do
        ! grep -qxF -- "$option" "$scratch/encrypt" || fail "completion offers rekey's $option to encrypt"
    done
    offered '' >"$scratch/commands"
    for command in encrypt decrypt rekey; do
        grep -qxF "$command" "$scratch/commands" || fail "completion does not offer the command $command"
    done
    finish
    ;;

AppStreamMetadataIsValidAndNamesInstalledFiles)
    if ! builds vellumpad; then
        echo "SKIPPED: the build has no editor, so no AppStream metadata is installed"
        exit 77
    fi
    file=$stage$metainfo
    [ -f "$file" ] || { fail "no AppStream metadata at $metainfo"; finish; }
    if has appstreamcli; then
        appstreamcli validate --no-net "$file" || fail "appstreamcli rejects $file"
    else
        skipped+=" appstreamcli"
    fi
    has xmllint || { skipped+=" xmllint"; finish; }
    # A software centre starts the program through the launchable and offers it for the media types.
    id=$(xmllint --xpath 'string(/component/id)' "$file")
    [ "$(basename "$file" .metainfo.xml)" = "$id" ] || fail "the file name differs from the component id $id"
    launchable=$(xmllint --xpath 'string(/component/launchable[@type="desktop-id"])' "$file")
    [ -f "$root/share/applications/$launchable" ] || fail "the launchable $launchable is not installed"
    for binary in $(xmllint --xpath '/component/provides/binary/text()' "$file"); do
        [ -x "$root/bin/$binary" ] || fail "provides binary $binary, which is not installed"
    done
    for type in $(xmllint --xpath '/component/provides/mediatype/text()' "$file"); do
        grep -q "<mime-type type=\"$type\"" "$mime_xml" || fail "provides $type, which $mime_xml does not define"
    done
    finish
    ;;

*)
    echo "unknown check: $check" >&2
    exit 2
    ;;
esac
