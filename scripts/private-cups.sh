# SPDX-License-Identifier: GPL-3.0-or-later
# A private CUPS for the printing tests, sourced by scripts/test.
# shellcheck shell=bash
#
# It runs only as root (cupsd and the cups-pdf back end need it), keeps its configuration, spool
# and logs in its own directory, listens only on a socket in that directory (no network port)
# and is reached through CUPS_SERVER, so a CUPS of the system is never touched. Three cups-pdf
# queues: cedolario-test, the default printer, which prints; cedolario-refuses, which refuses
# jobs (cupsreject); cedolario-stopped, which accepts jobs and keeps them waiting (cupsdisable).
# cups-pdf writes the PDF of a job from root into /root/PDF (a path that is part of the cups-pdf
# configuration of the system). A test picks a queue other than the default through PRINTER.

PRIVATE_CUPS_PID=

# start_private_cups DIRECTORY: on success exports CUPS_SERVER, CEDOLARIO_CUPS_PDF_DIR and, when
# they could be made, CEDOLARIO_CUPS_REFUSING and CEDOLARIO_CUPS_STOPPED (the queues' names).
start_private_cups() {
    local dir=$1
    unset LPDEST PRINTER
    if [ "$(id -u)" -ne 0 ]; then
        echo "Not root: no private CUPS, the printing test against CUPS will be skipped."
        return 0
    fi
    if [ ! -x /usr/sbin/cupsd ] || [ ! -x /usr/lib/cups/backend/cups-pdf ]; then
        echo "cupsd or cups-pdf missing: the printing test against CUPS will be skipped."
        return 0
    fi
    # A socket path must stay short.
    if [ ${#dir} -gt 90 ]; then
        dir=$(mktemp -d /tmp/cedolario-cups.XXXXXX)
    fi
    rm -rf "$dir"
    mkdir -p "$dir/spool/tmp" "$dir/cache" "$dir/state" "$dir/log" "$dir/ppd" "$dir/ssl"
    chgrp lp "$dir/spool" "$dir/spool/tmp" "$dir/cache" "$dir/state"
    chmod 0710 "$dir/spool"
    chmod 1770 "$dir/spool/tmp"
    chmod 0770 "$dir/cache" "$dir/state"
    cat >"$dir/cupsd.conf" <<EOF
LogLevel warn
Listen $dir/cups.sock
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Location /admin>
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
    cat >"$dir/cups-files.conf" <<EOF
ServerRoot $dir
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
ServerKeychain $dir/ssl
ErrorLog $dir/log/error_log
AccessLog $dir/log/access_log
PageLog $dir/log/page_log
ServerBin /usr/lib/cups
DataDir /usr/share/cups
User lp
Group lp
SystemGroup root
EOF
    /usr/sbin/cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" &
    PRIVATE_CUPS_PID=$!
    trap stop_private_cups EXIT
    export CUPS_SERVER="$dir/cups.sock"
    # Polled until it answers, it dies, or 30 s have passed.
    local deadline=$((SECONDS + 30))
    until lpstat -r 2>/dev/null | grep -q 'is running'; do
        if [ "$SECONDS" -ge "$deadline" ] || ! kill -0 "$PRIVATE_CUPS_PID" 2>/dev/null; then
            echo "The private cupsd did not start (see $dir/log/error_log): the printing test will be skipped."
            stop_private_cups
            unset CUPS_SERVER
            return 0
        fi
        sleep 0.1
    done
    if ! lpadmin -p cedolario-test -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd \
        || ! lpadmin -d cedolario-test; then
        echo "The PDF queue could not be made: the printing test will be skipped."
        stop_private_cups
        unset CUPS_SERVER
        return 0
    fi
    export CEDOLARIO_CUPS_PDF_DIR=/root/PDF
    echo "Private CUPS on $CUPS_SERVER, default printer cedolario-test, PDFs in $CEDOLARIO_CUPS_PDF_DIR"
    unset CEDOLARIO_CUPS_REFUSING CEDOLARIO_CUPS_STOPPED
    if lpadmin -p cedolario-refuses -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd \
        && cupsreject -r "Coda chiusa per la prova" cedolario-refuses; then
        export CEDOLARIO_CUPS_REFUSING=cedolario-refuses
    else
        echo "The queue that refuses jobs could not be made: its test will be skipped."
    fi
    # The stopped queue also has a printable area smaller than the sheet, its borders differing:
    # 12 points (4.23 mm) on the left, right and top of the portrait sheet, 24 points (8.47 mm)
    # at its foot.
    sed 's|^\*ImageableArea A4/A4: .*|*ImageableArea A4/A4: "12 24 583 830"|' \
        /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd >"$dir/margins.ppd"
    if lpadmin -p cedolario-stopped -E -v cups-pdf:/ -P "$dir/margins.ppd" \
        && cupsdisable -r "Stampante ferma per la prova" cedolario-stopped; then
        export CEDOLARIO_CUPS_STOPPED=cedolario-stopped
    else
        echo "The stopped queue could not be made: its test will be skipped."
    fi
}

stop_private_cups() {
    if [ -n "$PRIVATE_CUPS_PID" ]; then
        kill "$PRIVATE_CUPS_PID" 2>/dev/null || true
        wait "$PRIVATE_CUPS_PID" 2>/dev/null || true
        PRIVATE_CUPS_PID=
    fi
}
