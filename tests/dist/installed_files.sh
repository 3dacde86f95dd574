# Checks an installed tree: ROOT is the folder that stands for "/" (a DESTDIR or a package
# unpacked with dpkg -x), PREFIX the prefix inside it. Sourced by install.sh and deb.sh.
check_installed() {
    root=$1
    prefix=$2
    p=$root$prefix
    bad=0
    for f in bin/pelorin bin/pelorin-cli \
             share/applications/org.pelorin.Pelorin.desktop \
             share/metainfo/org.pelorin.Pelorin.metainfo.xml \
             share/icons/hicolor/scalable/apps/pelorin.svg \
             share/icons/hicolor/16x16/apps/pelorin.png \
             share/icons/hicolor/48x48/apps/pelorin.png \
             share/icons/hicolor/256x256/apps/pelorin.png \
             share/man/man1/pelorin.1.gz share/man/man1/pelorin-cli.1.gz \
             bin/pelorin-transfer share/man/man1/pelorin-transfer.1.gz \
             share/pelorin/manual/index.html; do
        [ -f "$p/$f" ] || { echo "missing: $prefix/$f"; bad=1; }
    done
    for spi in ifjpeg ifgif iftiff; do
        n=$(find "$p" -path "*/pelorin/$spi.spi" | wc -l)
        [ "$n" -eq 1 ] || { echo "plug-in $spi.spi: $n copies installed"; bad=1; }
    done
    # Nothing but the programs, the plug-ins and shared data: no tests, headers or archives.
    stray=$(cd "$p" && find . -type f | grep -v -E \
        '^\./bin/pelorin(-cli|-transfer)?$|/pelorin/if[a-z0-9]+\.spi$|^\./share/(applications|metainfo|icons|man)/|^\./share/pelorin/manual/index\.html$' \
        | grep -v -E '^\./share/doc/pelorin/' || true)
    [ -z "$stray" ] || { echo "unexpected files:"; echo "$stray"; bad=1; }

    desktop-file-validate "$p/share/applications/org.pelorin.Pelorin.desktop" || bad=1
    appstreamcli validate --no-net "$p/share/metainfo/org.pelorin.Pelorin.metainfo.xml" \
        >/dev/null || { appstreamcli validate --no-net \
        "$p/share/metainfo/org.pelorin.Pelorin.metainfo.xml"; bad=1; }
    for page in "$p"/share/man/man1/*.1.gz; do
        out=$(gzip -dc "$page" | LC_ALL=C.UTF-8 groff -man -ww -z -Tutf8 -K utf8 2>&1)
        [ -z "$out" ] || { echo "$page: $out"; bad=1; }
    done

    # The installed programs run from there, and the window program finds and loads the
    # plug-ins in its installed library folder.
    "$p/bin/pelorin-cli" --help | grep -q "^usage: pelorin-cli" \
        || { echo "installed pelorin-cli --help failed"; bad=1; }
    "$p/bin/pelorin-transfer" --help | grep -q "pelorin-transfer" \
        || { echo "installed pelorin-transfer --help failed"; bad=1; }
    home=$(mktemp -d)
    report=$(PELORIN_HOME=$home QT_QPA_PLATFORM=offscreen "$p/bin/pelorin" --plugins 2>&1)
    rm -rf "$home"
    for spi in ifjpeg ifgif iftiff; do
        echo "$report" | grep -q -E "^$spi\.spi	$p/.*/pelorin/$spi\.spi	ok$" \
            || { echo "pelorin --plugins does not load $spi.spi from $prefix:"; \
                 echo "$report"; bad=1; }
    done
    return $bad
}
