# Sourced by the scripts that run Windows programs under wine. Sets up, once per script:
#   - the wine prefix kept in the build tree: `wine_session_start` gives the 32-bit one
#     (build/windows/wineprefix), `wine_session_start windows64 win64` the 64-bit one
#     (build/windows64/wineprefix), which runs 64-bit programs and, in its 32-bit layer,
#     32-bit ones as a 64-bit Windows does,
#   - an X display for the programs' windows (Xvfb on a free display number when none is set),
#   - one wineserver for the whole script, its output detached so that no caller waits for it,
#   - "宋体" and SimSun, the dialogs' font, replaced by WenQuanYi Micro Hei, so that the Chinese
#     captions draw as on a Chinese Windows.
# Everything started here is stopped when the script exits.
wine_session_start() {
    export WINEPREFIX="$PWD/build/${1:-windows}/wineprefix" WINEARCH="${2:-win32}" WINEDEBUG=-all
    # No Mono or Gecko: nothing here needs them, and their installers would ask.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$WINEPREFIX"
    wine_session_xvfb=""
    if [ -z "${DISPLAY:-}" ]; then
        local n
        for n in $(seq 90 140); do
            [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || break
        done
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        wine_session_xvfb=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
    fi
    trap wine_session_stop EXIT
    # The wineserver and wine's desktop process must see the display from their start.
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -p </dev/null >/dev/null 2>&1
    wine wineboot </dev/null >/dev/null 2>&1
    local reg="$WINEPREFIX/velkor-fonts.reg"
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"宋体"="WenQuanYi Micro Hei"\r\n"SimSun"="WenQuanYi Micro Hei"\r\n' |
        iconv -f UTF-8 -t UTF-16 >"$reg"
    wine regedit /S "$(wine winepath -w "$reg" 2>/dev/null)" </dev/null >/dev/null 2>&1
}

wine_session_stop() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
    if [ -n "${wine_session_xvfb:-}" ]; then
        kill "$wine_session_xvfb" 2>/dev/null || true
        wait "$wine_session_xvfb" 2>/dev/null || true
    fi
}
